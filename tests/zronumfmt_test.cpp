// ZroStr::pasteIn(double, format): which formats are used, and what they give.
#include <cmath>
#include <string>

#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

using ZroStrFormatTest = ZroTest;

TEST_F(ZroStrFormatTest, OneFloatingConversionIsFormattedAndNothingElse)
{
    struct Row {
        const char* format;
        double value;
        const char* text; // nullptr: "***" and result 0
    };
    const Row rows[] = {
        // One conversion: flags, width, precision of any digits, l or L.
        {"%lf", 1.5, "1.500000"},
        {"%lg", 1.5, "1.5"},
        {"%le", 1.5, "1.500000e+00"},
        {"%Lf", 1.5, "1.500000"},
        {"%LG", 1e-10, "1E-10"},
        {"%10.2f", 1.5, "      1.50"},
        {"%.0f", 2.5, "2"},
        {"%.f", 1.5, "2"},
        {"%#.0f", 2.0, "2."},
        {"%.0010f", 1.5, "1.5000000000"},
        {"%0000010.3f", -1.5, "-00001.500"},
        {"%-8.1e|", 2.5, "2.5e+00 |"},
        {"%+ .2F", 1.0, "+1.00"},
        {"%a", 1.0, "0x1p+0"},
        {"%.2A", 1.0, "0X1.00P+0"},
        {"%E", 0.5, "5.000000E-01"},
        {"%.99999999999g", 0.125, "0.125"},
        {"%.2f", 2.5, "2.50"},
        {"v=%-+12.3e%%", 2.5, "v=+2.500e+00  %"},
        {"%%%.f%%", 1.5, "%2%"},
        // Infinity and NaN ignore the precision, however large.
        {"%#.40g", -INFINITY, "-inf"},
        {",%-+#2.020g", -NAN, ",-nan"},
        {"%.30f", NAN, "nan"},
        {"%.30E", INFINITY, "INF"},
        // Well formed, but more than 19 characters.
        {"%20f", 1.5, nullptr},
        {"%999999999999f", 1.0, nullptr},
        {"%.18f", 1.5, nullptr},
        {"%#.30g", 1.5, nullptr},
        {"%.30g", 0.1, nullptr},
        {"%f", 1e12, nullptr},
        {"v=%-+17.3e%%", 2.5, nullptr},
        // Anything else.
        {nullptr, 1.5, nullptr},
        {"", 1.5, nullptr},
        {"x", 1.5, nullptr},
        {"%%", 1.5, nullptr},
        {"%", 1.5, nullptr},
        {"%5", 1.5, nullptr},
        {"%.f%", 1.5, nullptr},
        {"%s", 1.5, nullptr},
        {"%n", 1.5, nullptr},
        {"%d", 1.5, nullptr},
        {"%c", 1.5, nullptr},
        {"%p", 1.5, nullptr},
        {"%f%f", 1.5, nullptr},
        {"%Lf%n", 1.5, nullptr},
        {"%f%s", 1.5, nullptr},
        {"%*f", 1.5, nullptr},
        {"%.*f", 1.5, nullptr},
        {"%1$f", 1.5, nullptr},
        {"%'f", 1.5, nullptr},
        {"%lld", 1.5, nullptr},
        {"%llf", 1.5, nullptr},
        {"%lLf", 1.5, nullptr},
        {"%Llf", 1.5, nullptr},
        {"%hf", 1.5, nullptr},
        {"%jf", 1.5, nullptr},
        {"%zf", 1.5, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format != nullptr ? row.format : "(null)");
        ZroStr s("v=");
        EXPECT_EQ(s.pasteIn(row.value, row.format), row.text != nullptr ? 1 : 0);
        EXPECT_EQ(std::string(s.dataPointer()),
                  std::string("v=") + (row.text != nullptr ? row.text : "***"));
        expectCodes(s, 0, 0);
    }
    expectNoText();
}
