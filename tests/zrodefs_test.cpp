// Record facts of zrodefs.h that a static_assert cannot reach: the texts of
// the structure ids and format names, and the channel definition's length.
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "zroi/zrodefs.h"

TEST(ZroDefsTest, StructureIdsAndFormatNamesFillTheirFieldsAndDiffer)
{
    // A NUL inside a literal would pass the array-size asserts of the header
    // and still write a short name into a record.
    const char *const strucIds[] = {ZRMD_STRUC_ID,  ZRDLH_STRUC_ID, ZRKIH_STRUC_ID,
                                    ZRRIH_STRUC_ID, ZRTM_STRUC_ID,  ZRTMC2_STRUC_ID,
                                    ZRRMH_STRUC_ID, ZRWIH_STRUC_ID, ZRGMO_STRUC_ID};
    const char *const formats[] = {ZRFMT_NONE,
                                   ZRFMT_STRING,
                                   ZRFMT_DEAD_LETTER_HEADER,
                                   ZRFMT_KOTA_BRIDGE_HEADER,
                                   ZRFMT_RPX_BRIDGE_HEADER,
                                   ZRFMT_TRIGGER,
                                   ZRFMT_REFERENCE_HEADER,
                                   ZRFMT_WORK_INFO_HEADER};
    std::set<std::string> seen;
    for (const char *id : strucIds) {
        EXPECT_EQ(std::strlen(id), ZRSTRUC_ID_WIDTH) << '"' << id << '"';
        EXPECT_TRUE(seen.insert(id).second) << "structure id used twice: " << id;
    }
    seen.clear();
    for (const char *name : formats) {
        EXPECT_EQ(std::strlen(name), ZRFMT_WIDTH) << '"' << name << '"';
        EXPECT_TRUE(seen.insert(name).second) << "format name used twice: " << name;
    }
    EXPECT_EQ(std::strlen(ZRTMC2_VERSION_TEXT), sizeof(ZRTMC2::version));
}

TEST(ZroDefsTest, ChannelRecordLengthTellsWhichLayoutARecordHas)
{
    // The record length an outside reader finds at offset 1492 is the size of
    // the record it was handed: 1840 with 4-byte pointers, more with wider ones.
    ZRCD record{};
    record.recordLength = ZRCD_LENGTH;
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    int32_t found = 0;
    std::memcpy(&found, bytes + 1492, sizeof found);
    EXPECT_EQ(found, static_cast<int32_t>(sizeof(ZRCD)));
    if (sizeof(void *) == 4)
        EXPECT_EQ(found, 1840);
    else
        EXPECT_GT(found, 1840);
}
