// The text pieces the settings files are made of: decimal parsing, digit
// texts, fixed-width digit writing and the file paths.
#include "persist/settings.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

TEST(PersistCodec, ParseDecimalTakesOnlyPlainDigits) {
    EXPECT_EQ(0, parseDecimal(""));
    EXPECT_EQ(0, parseDecimal("00000"));
    EXPECT_EQ(27442, parseDecimal("27442"));
    EXPECT_EQ(90090, parseDecimal("090090"));
    EXPECT_EQ(32102210, parseDecimal("32102210"));
    EXPECT_EQ(2147483647, parseDecimal("2147483647"));
    EXPECT_EQ(7, parseDecimal("0000000000000000000007"));
    for (const char* bad :
         {"12a45", "abcde", "-5", "+5", " 5", "5 ", "5\n", "5\r\n", "1.5", "\xd9"})
        EXPECT_EQ(0, parseDecimal(bad)) << bad;
    EXPECT_EQ(0, parseDecimal(nullptr));
}

TEST(PersistCodec, ParseDecimalGivesZeroBeyondTheThirtyTwoBitRange) {
    EXPECT_EQ(0, parseDecimal("2147483648"));
    EXPECT_EQ(0, parseDecimal("99999999999999"));
    EXPECT_EQ(0, parseDecimal("999999999999999999999999"));
}

TEST(PersistCodec, DigitTextCoversZeroToThirtyNine) {
    EXPECT_STREQ("0", digitText(0));
    EXPECT_STREQ("9", digitText(9));
    EXPECT_STREQ("10", digitText(10));
    EXPECT_STREQ("39", digitText(39));
    EXPECT_STREQ("", digitText(40));
    EXPECT_STREQ("", digitText(-1));
}

TEST(PersistCodec, WriteDigitsWritesExactlyCountDigits) {
    std::string text;
    writeDigits(text, 0, 5);
    EXPECT_EQ("00000", text);
    text.clear();
    writeDigits(text, 90090, 6);
    EXPECT_EQ("090090", text);
    text.clear();
    writeDigits(text, 123456, 5); // the last five digits
    EXPECT_EQ("23456", text);
    text.clear();
    writeDigits(text, 32102210, 8);
    EXPECT_EQ("32102210", text);
    text.clear();
    writeDigits(text, 7, 0);
    EXPECT_EQ("", text);
    writeDigits(text, 12, 1);
    EXPECT_EQ("2", text); // appends
    text.clear();
    writeDigits(text, -1, 3); // never produced by the writers; still three digits
    EXPECT_EQ("999", text);
}

TEST(PersistCodec, FilesLiveInTheDataFolderWhateverItsName) {
    std::string base = useTestHost();
    EXPECT_EQ(base + "/record.dat", pathBesideProgram("record.dat"));
    std::string odd = base + "/dossier été/" + std::string(200, 'x') + "/données";
    setTestDataFolder(odd);
    EXPECT_EQ(odd + "/keys3.dat", pathBesideProgram("keys3.dat"));
}
