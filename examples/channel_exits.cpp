// A client channel definition with two send exits.
//
// A channel definition is the record a client connection hands to the queue
// manager: channel and connection name, limits, security settings, and the
// exits the connection calls (each with user data of its own). zroi builds
// and owns the record; another library of the middleware sends it. The
// program fills a channel, copies it, reads the exits back from the copy
// and shows how the library reports a text that does not fit. It exits with
// 1 if anything read back differs from what was set.
#include <cstdio>
#include <cstring>

#include <zroi/zroi.hpp>

static bool same(const ZroStr& text, const char* expected)
{
    return std::strcmp(text.dataPointer() != nullptr ? text.dataPointer() : "", expected) == 0;
}

int main()
{
    ZroChl channel;
    channel.setChannelName("ORDERS.SVRCONN");
    channel.setConnectionName("orders.example.com(1414)");
    channel.setHeartBeatInterval(60);

    // Exits are set as a list of names; setting the names clears the user
    // data of that direction, so the user data comes second.
    const char* names[] = {"libcompress(send)", "libaudit(send)"};
    const char* data[] = {"level=9", "log=/var/log/audit"};
    if (!channel.setSendExitNames(2, names) || !channel.setSendUserData(2, data)) {
        std::fprintf(stderr, "setting the exits failed: %d/%d\n", channel.completionCode(),
                     channel.reasonCode());
        return 1;
    }

    // Copies are deep: the copy has its own record and its own exit lists.
    ZroChl copy(channel);
    channel.setSendExitName(nullptr); // empties the source's list, not the copy's

    ZroStr exitName, exitData, secondName, secondData;
    ZroStr* nameList[] = {&exitName, &secondName};
    ZroStr* dataList[] = {&exitData, &secondData};
    copy.sendExitNames(2, nameList);
    copy.sendUserData(2, dataList);

    std::printf("channel        %s\n", copy.channelName().dataPointer());
    std::printf("connection     %s\n", copy.connectionName().dataPointer());
    std::printf("heartbeat      %d s\n", copy.heartBeatInterval());
    std::printf("send exits     %u\n", copy.sendExitCount());
    std::printf("  1: %-20s user data %s\n", exitName.dataPointer(), exitData.dataPointer());
    std::printf("  2: %-20s user data %s\n", secondName.dataPointer(), secondData.dataPointer());
    std::printf("source's send exits after setSendExitName(nullptr): %u\n",
                channel.sendExitCount());

    // A user data entry is 32 characters wide. A longer text is cut: the call
    // succeeds and leaves the warning 1/6115 on the channel. Codes are
    // sticky, so clear them first to see what this call did.
    copy.clearErrorCodes();
    copy.setSendUserData("a user data text longer than the thirty-two characters of an entry");
    std::printf("long user data: completion %d, reason %d (%s)\n", copy.completionCode(),
                copy.reasonCode(),
                copy.reasonCode() == ZRRC_DATA_TRUNCATED ? "ZRRC_DATA_TRUNCATED" : "?");

    const bool ok = copy.sendExitCount() == 2 && channel.sendExitCount() == 0 &&
                    same(exitName, "libcompress(send)") && same(exitData, "level=9") &&
                    same(secondName, "libaudit(send)") && same(secondData, "log=/var/log/audit") &&
                    copy.completionCode() == ZRCC_WARNING &&
                    copy.reasonCode() == ZRRC_DATA_TRUNCATED;
    if (!ok) std::fprintf(stderr, "what was read back differs from what was set\n");
    return ok ? 0 : 1;
}
