// The texts a sound module hands the program: UTF-8 decoding of good and bad input, bounded
// copies, and the module's own file name.
#include <soundModuleText.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::u16string kBad(1, u'\uFFFD');

} // namespace

TEST(soundModuleText, DecodesWellFormedUtf8)
{
    EXPECT_EQ(soundUtf16(""), u"");
    EXPECT_EQ(soundUtf16("aIn 1"), u"aIn 1");
    EXPECT_EQ(soundUtf16("\xC3\xA4\xE2\x82\xAC"), u"\u00E4\u20AC");       // two and three bytes
    EXPECT_EQ(soundUtf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");             // a surrogate pair
    EXPECT_EQ(soundUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");             // the last code point
    EXPECT_EQ(soundUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// Each byte that cannot start a well-formed sequence becomes one U+FFFD; decoding goes on.
TEST(soundModuleText, ReplacesMalformedTruncatedAndOverlongSequences)
{
    const std::u16string r = kBad;
    EXPECT_EQ(soundUtf16("\x80x"), r + u"x");                  // stray continuation byte
    EXPECT_EQ(soundUtf16("x\xE2\x82"), u"x" + r + r);          // truncated at the end
    EXPECT_EQ(soundUtf16("\xE2\x82x"), r + r + u"x");          // truncated by a new character
    EXPECT_EQ(soundUtf16("\xC0\x80"), r + r);                  // overlong NUL
    EXPECT_EQ(soundUtf16("\xE0\x80\xAF"), r + r + r);          // overlong '/'
    EXPECT_EQ(soundUtf16("\xF0\x80\x80\xAF"), r + r + r + r);  // overlong '/' in four bytes
    EXPECT_EQ(soundUtf16("\xED\xA0\x80"), r + r + r);          // a surrogate
    EXPECT_EQ(soundUtf16("\xF4\x90\x80\x80"), r + r + r + r);  // beyond U+10FFFF
    EXPECT_EQ(soundUtf16("\xF8\xFF\xFE"), r + r + r);          // bytes UTF-8 never uses
    const std::string utf16le("\xFF\xFE" "a\0b\0", 6); // UTF-16 text read as UTF-8
    EXPECT_EQ(soundUtf16(utf16le), r + r + std::u16string(u"a\0b\0", 4));
}

TEST(soundModuleText, DecodesHugeMixedInputWholly)
{
    std::string in;
    std::u16string want;
    for (int i = 0; i < 200000; ++i) {
        in += "x\xE2\x82\xAC\xC3";
        want += u"x\u20AC" + kBad;
    }
    EXPECT_EQ(soundUtf16(in), want);
}

TEST(soundModuleText, WritesBoundedTexts)
{
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), u'#');
    soundWriteText(buf, 4, u"Virtual bench");
    EXPECT_EQ(std::u16string(buf), u"Vir") << "cut to maxLen - 1 and terminated";
    EXPECT_EQ(buf[4], u'#') << "nothing beyond maxLen";
    soundWriteText(buf, 1, u"x");
    EXPECT_EQ(buf[0], 0);
    buf[0] = u'#';
    soundWriteText(buf, 0, u"x");
    soundWriteText(buf, -5, u"x");
    soundWriteText(nullptr, 8, u"x");
    EXPECT_EQ(buf[0], u'#') << "no room, nothing written";
}

// Linked into this test program, the module's file is the program's.
TEST(soundModuleText, NamesTheFileTheCodeWasLoadedFrom)
{
    const std::u16string f = soundModuleFile();
    const std::u16string name = u"/test_soundModuleText";
    ASSERT_GE(f.size(), name.size());
    EXPECT_EQ(f.substr(f.size() - name.size()), name);
}
