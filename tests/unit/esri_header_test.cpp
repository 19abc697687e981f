// The place read from an ESRI header beside a raw input, and written again.
#include <gtest/gtest.h>

#include "dem/esri_header.hpp"

TEST(EsriHeader, ThePlaceOfAHeaderIsReadAsGdalReadsItAndWrittenAsItIs) {
    const std::string full = "ULXMAP 500012.5\nULYMAP -12.25\nXDIM 25\nYDIM 12.5\n";
    const struct {
        std::string text;
        bool placed;
    } cases[] = {
        {full, true},
        {"nrows 2\r\nulxmap   500012.5\r\nUlYmap -12.25\r\nxdim 25\r\nydim 12.5\r\n", true},
        {"XDIM 7\n" + full + "\x1aXDIM 7\n", true}, // the last line counts; a Ctrl-Z ends the text
        {full + "XDIM\n", false},                   // a keyword without its number
        {full + "YDIM 0\n", false},                 // no size
        {full + "ULYMAP 4001587.5m\n", false},      // a number only in part
        {"X" + full, false},                        // no ULXMAP
    };
    for (const auto &c : cases) {
        const std::optional<EsriPlace> place = esri_place(c.text);
        ASSERT_EQ(place.has_value(), c.placed) << c.text;
        if (!place) continue;
        EXPECT_EQ(esri_header_text({2, 3, 2, 30.0, false, 0.0, 0.0, place}),
                  "NROWS 2\nNCOLS 3\nNBANDS 1\nNBITS 16\nPIXELTYPE UNSIGNEDINT\nBYTEORDER I\n"
                  "LAYOUT BIL\nXDIM 25\nYDIM 12.5\nULXMAP 500012.5\nULYMAP -12.25\n");
    }
}
