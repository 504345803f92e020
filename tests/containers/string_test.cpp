#include "containers/kest_string.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/container.h"
#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "tests/support/c_files.h"
#include "tests/support/files.h"
#include "tests/support/memory_images.h"

namespace {

// Temporary paths and C files holding given bytes.
using namespace kest::test;

std::string TextOf(const TString& s) {
    return std::string(s.Text());
}

Bytes BinaryOnFile(TString& s) {
    auto file = TempFile();
    s.WriteBinary(file.get());
    return FileBytes(file.get());
}

Bytes BinaryOnStream(TString& s) {
    std::ostringstream out(std::ios_base::binary);
    s.WriteBinary(out);
    return ToBytes(out.str());
}

Bytes BinaryInBuffer(TString& s) {
    TMemBuffer buffer;
    s.WriteToBuffer(buffer);
    return Bytes(buffer.Data(), buffer.Data() + buffer.Length());
}

std::string TextOnFile(TString& s) {
    auto file = TempFile();
    s.WriteText(file.get());
    return ToString(FileBytes(file.get()));
}

std::string TextOnStream(TString& s) {
    std::ostringstream out;
    s.WriteText(out);
    return out.str();
}

// A string that takes a C file only through a const char* path, as the path operations do.
size_t LengthThroughPointer(const char* text) {
    return std::strlen(text);
}

// --- construction, access, assignment ---------------------------------------------

TEST(StringConstruction, DefaultAndNullGiveTheEmptyText) {
    TString empty;
    TString fromNull(static_cast<const char*>(nullptr));
    for (const TString* s : {&empty, &fromNull}) {
        ASSERT_NE(s->Text(), nullptr);
        EXPECT_EQ(s->Length(), 0);
        EXPECT_EQ(s->Text()[0], 0);
        EXPECT_EQ(s->FCapacity, 1);
        EXPECT_TRUE(s->FExactSize);
        EXPECT_EQ(s->FOwner, nullptr);
        EXPECT_EQ(s->FTypeId, 0);
    }
}

TEST(StringConstruction, CopiesTextWithExactCapacity) {
    const char source[] = "images/success.bmp";
    TString s(source);
    EXPECT_NE(s.Text(), source);
    EXPECT_EQ(TextOf(s), source);
    EXPECT_EQ(s.FCapacity, 19);
    TString copy(s);
    EXPECT_NE(copy.Text(), s.Text());
    EXPECT_EQ(TextOf(copy), source);
    EXPECT_EQ(copy.FCapacity, 19);
    EXPECT_TRUE(copy.FExactSize);
}

TEST(StringConstruction, CopyIsAFreeItemWithoutTag) {
    TString s("x");
    s.FTypeId = 7;
    TString copy(s);
    EXPECT_EQ(copy.FTypeId, 0);
    EXPECT_EQ(copy.FOwner, nullptr);
}

TEST(StringAccess, ConvertsToAPointerForPathOperations) {
    TString s("a.b/c");
    EXPECT_EQ(LengthThroughPointer(s), 5u);
    const char* p = s;
    EXPECT_EQ(p, s.Text());
}

TEST(StringAccess, EqualityComparesBytesNotAddresses) {
    TString a("track");
    TString b("track");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == "track");
    EXPECT_FALSE(a == "trac");
    EXPECT_FALSE(a == TString("tracks"));
    EXPECT_TRUE("track" == a);
    EXPECT_FALSE("trac" == a);
    EXPECT_TRUE(a != "trac");
    EXPECT_TRUE("trac" != a);
    EXPECT_FALSE(a != b);
}

TEST(StringAccess, StringViewsInAndOut) {
    const std::string text = "line one";
    TString s(text);
    EXPECT_EQ(std::string_view(s), "line one");
    EXPECT_TRUE(s == text);
    EXPECT_TRUE(text == s);
    EXPECT_TRUE(s != std::string_view("line"));
    EXPECT_TRUE(std::string_view("line") != s);
    EXPECT_EQ(TString(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(std::string_view(TString()).size(), 0u);
    const TString& view = s;
    static_assert(std::is_same_v<decltype(view.Text()), const char*>, "a const string gives a const text");
}

// A move leaves what a copy leaves in the target, and the empty text, still usable, in the source.
TEST(StringAssignment, MovesLeaveTheSourceEmptyAndUsable) {
    TString source("moved text");
    source.FTypeId = 7;
    const char* buffer = source.Text();
    TString moved(std::move(source));
    EXPECT_EQ(moved, "moved text");
    EXPECT_EQ(moved.Text(), buffer);
    EXPECT_EQ(moved.FTypeId, 7);
    EXPECT_EQ(moved.FCapacity, 11);
    EXPECT_EQ(source.Length(), 0);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
    source = "again";
    EXPECT_EQ(source, "again");

    TString roomy("a long text that leaves room");
    roomy.FExactSize = false;
    const char* roomyBuffer = roomy.Text();
    roomy = std::move(moved);
    EXPECT_EQ(roomy, "moved text");
    EXPECT_EQ(roomy.Text(), roomyBuffer);
    EXPECT_EQ(roomy.FCapacity, 29);
    EXPECT_EQ(moved.Length(), 0);  // NOLINT(bugprone-use-after-move)

    std::vector<TString> texts;
    for (int i = 0; i < 100; ++i)
        texts.emplace_back(std::to_string(i).c_str());  // NOLINT(performance-inefficient-vector-operation)
    EXPECT_EQ(texts[99], "99");
}

TEST(StringAssignment, ExactSizeAlwaysTakesANewExactBuffer) {
    TString target("a long text that leaves room");
    const char* before = target.Text();
    TString source("short");
    target = source;
    EXPECT_EQ(TextOf(target), "short");
    EXPECT_EQ(target.FCapacity, 6);
    EXPECT_NE(target.Text(), before);
}

TEST(StringAssignment, WithoutExactSizeReusesALargeEnoughBuffer) {
    TString target("a long text that leaves room");
    target.FExactSize = false;
    const char* before = target.Text();
    target = TString("short");
    EXPECT_EQ(TextOf(target), "short");
    EXPECT_EQ(target.Text(), before);
    EXPECT_EQ(target.FCapacity, 29);
    // A text as long as the capacity no longer fits with its terminator.
    target = TString(std::string(29, 'x').c_str());
    EXPECT_EQ(target.Length(), 29);
    EXPECT_EQ(target.FCapacity, 30);
}

TEST(StringAssignment, FromCharactersReusesWhateverExactSizeSays) {
    TString target("abcdef");
    ASSERT_TRUE(target.FExactSize);
    const char* before = target.Text();
    target.Assign("xyz");
    EXPECT_EQ(TextOf(target), "xyz");
    EXPECT_EQ(target.Text(), before);
    EXPECT_EQ(target.FCapacity, 7);
    target.Assign("0123456");
    EXPECT_EQ(TextOf(target), "0123456");
    EXPECT_EQ(target.FCapacity, 8);
    target = "q";
    EXPECT_EQ(TextOf(target), "q");
}

TEST(StringAssignment, NullCharactersGiveTheEmptyText) {
    TString s("abc");
    s.Assign(static_cast<const char*>(nullptr));
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Text()[0], 0);
}

TEST(StringAssignment, FromItsOwnTextOrItself) {
    TString s("abcdef");
    s.Assign(s.Text() + 2);
    EXPECT_EQ(TextOf(s), "cdef");
    // Assigned through a second name, as code that does not know both are one string would.
    const TString& same = s;
    s = same;
    EXPECT_EQ(TextOf(s), "cdef");
    s.Assign(s.Text());
    EXPECT_EQ(TextOf(s), "cdef");
}

TEST(StringAssignment, VirtualAssignTakesOnlyStrings) {
    TString target("old");
    TString source("new text");
    TContainerItem& asItem = target;
    asItem.Assign(source);
    EXPECT_EQ(TextOf(target), "new text");
    TContainer notAString;
    EXPECT_THROW(asItem.Assign(notAString), TKestBadAssign);
    EXPECT_EQ(TextOf(target), "new text");
}

TEST(StringCompare, ThreeWayByteOrder) {
    EXPECT_EQ(CompareText("abc", "abd"), -1);
    EXPECT_EQ(CompareText("abd", "abc"), 1);
    EXPECT_EQ(CompareText("ab", "abc"), -1);
    EXPECT_EQ(CompareText("abc", "ab"), 1);
    EXPECT_EQ(CompareText("", ""), 0);
    EXPECT_EQ(CompareText("same", "same"), 0);
    EXPECT_EQ(CompareText("\xE1", "z"), 1);
    EXPECT_EQ(CompareText("A", "a"), -1);
    EXPECT_EQ(CompareText(nullptr, ""), 0);
    EXPECT_EQ(CompareText(nullptr, "a"), -1);
    EXPECT_EQ(TString::Compare(TString("abc"), TString("abd")), -1);
    EXPECT_EQ(TString::Compare(TString("b"), TString("abd")), 1);
    EXPECT_EQ(TString::Compare(TString(), TString()), 0);
}

// --- upper case ------------------------------------------------------------------

TEST(StringUpperCase, AccentLettersMapToTheirPartners) {
    EXPECT_EQ(AccentToUpper(0xE1), 0xC1);
    EXPECT_EQ(AccentToUpper(0xF5), 0xD5);
    EXPECT_EQ(AccentToUpper(0xC1), 0xC1);
    EXPECT_EQ(AccentToUpper('a'), 'A');
    EXPECT_EQ(AccentToUpper('z'), 'Z');
    EXPECT_EQ(AccentToUpper('1'), '1');
    EXPECT_EQ(AccentToUpper(0), 0);
    const unsigned char lower[] = {0xE1, 0xE9, 0xED, 0xF3, 0xF6, 0xF5, 0xFA, 0xFC, 0xFB};
    const unsigned char upper[] = {0xC1, 0xC9, 0xCD, 0xD3, 0xD6, 0xD5, 0xDA, 0xDC, 0xDB};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(AccentToUpper(lower[i]), upper[i]) << i;
        EXPECT_EQ(AccentToUpper(upper[i]), upper[i]) << i;
    }
}

TEST(StringUpperCase, OtherHighBytesStayInTheDefaultLocale) {
    int changed = 0;
    for (int c = 128; c < 256; ++c)
        if (AccentToUpper(static_cast<unsigned char>(c)) != c)
            ++changed;
    EXPECT_EQ(changed, 9);
}

TEST(StringUpperCase, WholeStrings) {
    char text[] = "jpg \xE1rv\xED\xFB 9";
    EXPECT_EQ(AccentUpperString(text), text);
    EXPECT_STREQ(text, "JPG \xC1RV\xCD\xDB 9");
    EXPECT_EQ(AccentUpperString(nullptr), nullptr);

    const TString jpg("jpg");
    const TString upper = TString::UpperCase(jpg);
    EXPECT_EQ(TextOf(upper), "JPG");
    EXPECT_EQ(TextOf(jpg), "jpg");
    TString s("mixed Case");
    s.ToUpper();
    EXPECT_EQ(TextOf(s), "MIXED CASE");
}

// --- substrings, lengths, extensions ----------------------------------------------

TEST(StringSubString, Ranges) {
    const TString s("abcdef");
    EXPECT_EQ(TextOf(s.SubString(2, EndOfString)), "cdef");
    EXPECT_EQ(TextOf(s.SubString(-3, 1)), "ab");
    EXPECT_EQ(TextOf(s.SubString(4, 2)), "");
    EXPECT_EQ(TextOf(s.SubString(0, 0)), "a");
    EXPECT_EQ(TextOf(s.SubString(5, 5)), "f");
    EXPECT_EQ(TextOf(s.SubString(6, EndOfString)), "");
    EXPECT_EQ(TextOf(s.SubString(0, -2)), "");
    EXPECT_EQ(TextOf(TString("abc").SubString(0, 99)), "abc");
    EXPECT_EQ(TextOf(TString().SubString(0, EndOfString)), "");
    EXPECT_EQ(EndOfString, -2147483647 - 1);
}

TEST(StringSubString, TargetBufferPolicy) {
    const TString s("abcdef");
    TString exact("0123456789");
    s.SubString(1, 3, exact);
    EXPECT_EQ(TextOf(exact), "bcd");
    EXPECT_EQ(exact.FCapacity, 4);

    TString reused("0123456789");
    reused.FExactSize = false;
    const char* before = reused.Text();
    s.SubString(1, 3, reused);
    EXPECT_EQ(TextOf(reused), "bcd");
    EXPECT_EQ(reused.Text(), before);
    EXPECT_EQ(reused.FCapacity, 11);

    TString small("z");
    small.FExactSize = false;
    s.SubString(0, EndOfString, small);
    EXPECT_EQ(TextOf(small), "abcdef");
    EXPECT_EQ(small.FCapacity, 7);
}

TEST(StringSubString, IntoItself) {
    TString s("abcdef");
    s.SubString(2, 4, s);
    EXPECT_EQ(TextOf(s), "cde");
    s.FExactSize = false;
    s.SubString(1, EndOfString, s);
    EXPECT_EQ(TextOf(s), "de");
}

TEST(StringSetLength, GrowsWithBlanksAndTruncates) {
    for (bool exact : {true, false}) {
        TString s("ab");
        s.FExactSize = exact;
        s.SetLength(5);
        EXPECT_EQ(TextOf(s), "ab   ") << exact;
        EXPECT_GE(s.FCapacity, 6);
        s.SetLength(1);
        EXPECT_EQ(TextOf(s), "a") << exact;
        s.SetLength(0);
        EXPECT_EQ(TextOf(s), "") << exact;
    }
}

TEST(StringSetLength, ReusesTheBufferOnlyWithoutExactSize) {
    TString reused("abcdefgh");
    reused.FExactSize = false;
    const char* before = reused.Text();
    reused.SetLength(2);
    reused.SetLength(5);
    EXPECT_EQ(TextOf(reused), "ab   ");
    EXPECT_EQ(reused.Text(), before);
    EXPECT_EQ(reused.FCapacity, 9);

    TString exact("abcdefgh");
    exact.SetLength(2);
    EXPECT_EQ(TextOf(exact), "ab");
    EXPECT_EQ(exact.FCapacity, 3);
}

TEST(StringSetLength, NegativeThrowsAndChangesNothing) {
    TString s("ab");
    EXPECT_THROW(s.SetLength(-1), TKestBadIndex);
    EXPECT_THROW(s.SetLength(EndOfString), TKestBadIndex);
    EXPECT_EQ(TextOf(s), "ab");
    EXPECT_EQ(s.FCapacity, 3);
}

TEST(StringExtension, TextAfterTheLastDot) {
    EXPECT_EQ(TString("images/success.bmp").LastDot(), 14);
    EXPECT_EQ(TextOf(TString("images/success.bmp").Extension()), "bmp");
    EXPECT_EQ(TextOf(TString("archive.tar.gz").Extension()), "gz");
    EXPECT_EQ(TString("README").LastDot(), -1);
    EXPECT_EQ(TextOf(TString("README").Extension()), "");
    EXPECT_EQ(TextOf(TString("name.").Extension()), "");
    EXPECT_EQ(TextOf(TString(".hidden").Extension()), "hidden");
    EXPECT_EQ(TextOf(TString("a.b/c").Extension()), "b/c");
    EXPECT_EQ(TextOf(TString().Extension()), "");
    EXPECT_EQ(TextOf(TString::UpperCase(TString("photo.jpg").Extension())), "JPG");
}

// --- binary forms ------------------------------------------------------------------

TEST(StringBinaryForm, SameBytesOnEveryTarget) {
    TString hi("hi");
    const Bytes expected = {0x02, 0x00, 0x00, 0x00, 0x01, 0x68, 0x69};
    EXPECT_EQ(BinaryOnFile(hi), expected);
    EXPECT_EQ(BinaryOnStream(hi), expected);
    EXPECT_EQ(BinaryInBuffer(hi), expected);

    TString empty;
    empty.FExactSize = false;
    const Bytes none = {0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(BinaryOnFile(empty), none);
    EXPECT_EQ(BinaryOnStream(empty), none);
    EXPECT_EQ(BinaryInBuffer(empty), none);
}

TEST(StringBinaryForm, LongTextLengthIsLittleEndian) {
    TString s(std::string(0x1234, 'q').c_str());
    const Bytes image = BinaryInBuffer(s);
    ASSERT_EQ(image.size(), 5u + 0x1234);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 5), (Bytes{0x34, 0x12, 0x00, 0x00, 0x01}));
}

TEST(StringBinaryForm, ReadsBackFromEverySource) {
    const Bytes image = {0x05, 0x00, 0x00, 0x00, 0x00, 'a', ' ', 'b', '\t', 'c'};
    TString fromFile;
    fromFile.ReadBinary(FileWith(image).get());
    TString fromStream;
    std::istringstream in(ToString(image), std::ios_base::binary);
    fromStream.ReadBinary(in);
    TString fromSpace;
    auto space = memory_test::SpaceWithImage(image);
    fromSpace.ReadFromSpace(*space);
    EXPECT_EQ(space->Position(), 10);
    TString fromPipe;
    fromPipe.ReadBinary(PipeWith(image).get());
    for (const TString* s : {&fromFile, &fromStream, &fromSpace, &fromPipe}) {
        EXPECT_EQ(TextOf(*s), "a b\tc");
        EXPECT_FALSE(s->FExactSize);
        EXPECT_EQ(s->FCapacity, 6);
    }
}

TEST(StringBinaryForm, ReadingReusesALargeEnoughBuffer) {
    TString s("0123456789");
    const char* before = s.Text();
    s.ReadFromSpace(*memory_test::SpaceWithImage({0x02, 0, 0, 0, 0x01, 'o', 'k'}));
    EXPECT_EQ(TextOf(s), "ok");
    EXPECT_EQ(s.Text(), before);
    EXPECT_EQ(s.FCapacity, 11);
    EXPECT_TRUE(s.FExactSize);
}

TEST(StringBinaryForm, ItemsFollowEachOtherInOneSpace) {
    TString a("first"), b, c("third one");
    TMemBuffer buffer;
    a.WriteToBuffer(buffer);
    b.WriteToBuffer(buffer);
    c.WriteToBuffer(buffer);
    buffer.Rewind();
    TString x("junk"), y("junk"), z;
    x.ReadFromSpace(buffer);
    y.ReadFromSpace(buffer);
    z.ReadFromSpace(buffer);
    EXPECT_EQ(TextOf(x), "first");
    EXPECT_EQ(TextOf(y), "");
    EXPECT_EQ(TextOf(z), "third one");
    EXPECT_EQ(buffer.Position(), buffer.Length());
}

TEST(StringBinaryForm, LargeTextThroughAStreamThatCannotSeek) {
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big.push_back(static_cast<char>('a' + i % 26));
    TString s(big.c_str());
    const Bytes image = BinaryOnStream(s);
    memory_test::TForwardOnlyBuffer source(image);
    std::istream in(&source);
    TString back;
    back.ReadBinary(in);
    EXPECT_EQ(TextOf(back), big);
    EXPECT_EQ(back.FCapacity, 200001);
}

TEST(StringBinaryForm, EveryTruncatedImageThrowsAndKeepsTheString) {
    TString original("text");
    const Bytes image = BinaryInBuffer(original);
    for (size_t cut = 0; cut < image.size(); ++cut) {
        const Bytes part(image.begin(), image.begin() + static_cast<long>(cut));
        TString fromFile("keep"), fromStream("keep"), fromSpace("keep"), fromPipe("keep"),
            fromForward("keep");
        EXPECT_THROW(fromFile.ReadBinary(FileWith(part).get()), TKestSerialization) << cut;
        std::istringstream in(ToString(part), std::ios_base::binary);
        EXPECT_THROW(fromStream.ReadBinary(in), TKestSerialization) << cut;
        EXPECT_THROW(fromSpace.ReadFromSpace(*memory_test::SpaceWithImage(part)), TKestSerialization) << cut;
        EXPECT_THROW(fromPipe.ReadBinary(PipeWith(part).get()), TKestSerialization) << cut;
        memory_test::TForwardOnlyBuffer forward(part);
        std::istream forwardIn(&forward);
        EXPECT_THROW(fromForward.ReadBinary(forwardIn), TKestSerialization) << cut;
        for (const TString* s : {&fromFile, &fromStream, &fromSpace, &fromPipe, &fromForward}) {
            EXPECT_EQ(TextOf(*s), "keep") << cut;
            EXPECT_TRUE(s->FExactSize) << cut;
        }
    }
}

TEST(StringBinaryForm, CorruptLengthsAreRejected) {
    const std::vector<Bytes> images = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 'a'},       // -1
        {0x00, 0x00, 0x00, 0x80, 0x01, 'a'},       // most negative
        {0xFF, 0xFF, 0xFF, 0x7F, 0x01, 'a', 'b'},  // far more than is there
        {0x03, 0x00, 0x00, 0x00, 0x01, 'a', 'b'},  // one byte short
    };
    for (const Bytes& image : images) {
        TString fromFile("keep"), fromSpace("keep"), fromPipe("keep");
        EXPECT_THROW(fromFile.ReadBinary(FileWith(image).get()), TKestSerialization);
        auto space = memory_test::SpaceWithImage(image);
        EXPECT_THROW(fromSpace.ReadFromSpace(*space), TKestSerialization);
        EXPECT_THROW(fromPipe.ReadBinary(PipeWith(image).get()), TKestSerialization);
        EXPECT_EQ(TextOf(fromFile), "keep");
        EXPECT_EQ(TextOf(fromSpace), "keep");
        EXPECT_EQ(TextOf(fromPipe), "keep");
    }
}

TEST(StringBinaryForm, StoredZeroByteEndsTheText) {
    TString s;
    s.ReadFromSpace(*memory_test::SpaceWithImage({0x03, 0, 0, 0, 0x01, 'a', 0, 'b'}));
    EXPECT_EQ(TextOf(s), "a");
    EXPECT_EQ(s.Length(), 1);
    EXPECT_GE(s.FCapacity, 2);
}

// --- text form on a C file ---------------------------------------------------------

TEST(StringTextFileForm, ExactLines) {
    TString empty;
    EXPECT_EQ(TextOnFile(empty), "0\n");
    TString ab("a b");
    EXPECT_EQ(TextOnFile(ab), "3\na b\n");
}

TEST(StringTextFileForm, SequenceReadsBack) {
    TString a("first line"), b, c("x"), d("tab\there");
    auto file = TempFile();
    for (TString* s : {&a, &b, &c, &d})
        s->WriteText(file.get());
    std::rewind(file.get());
    std::vector<std::string> back;
    for (int i = 0; i < 4; ++i) {
        TString s("junk");
        s.ReadText(file.get());
        back.push_back(TextOf(s));
    }
    EXPECT_EQ(back, (std::vector<std::string>{"first line", "", "x", "tab\there"}));
}

TEST(StringTextFileForm, LeadingWhiteSpaceIsLostAndLinesEndTheText) {
    TString s;
    s.ReadText(FileWith(ToBytes("4\n  ab\n")).get());
    EXPECT_EQ(TextOf(s), "ab");
    s.ReadText(FileWith(ToBytes("9\nab\ncdefghij\n")).get());
    EXPECT_EQ(TextOf(s), "ab");
    s.ReadText(FileWith(ToBytes("2\nabcdef\n")).get());
    EXPECT_EQ(TextOf(s), "ab");
    s.ReadText(FileWith(ToBytes("-4\nabcdef\n")).get());
    EXPECT_EQ(TextOf(s), "");
}

TEST(StringTextFileForm, MissingTheFinalLineEndStillReads) {
    TString s;
    s.ReadText(FileWith(ToBytes("3\nabc")).get());
    EXPECT_EQ(TextOf(s), "abc");
}

TEST(StringTextFileForm, TruncatedAndCorruptInputThrowsAndKeepsTheString) {
    const std::vector<std::string> bad = {"",  "\n",    "x\nabc\n",          "3\n",
                                          "3", "5\nab", "99999999999\nab\n", "2147483647\nab\n"};
    for (const std::string& text : bad) {
        TString s("keep");
        EXPECT_THROW(s.ReadText(FileWith(ToBytes(text)).get()), TKestSerialization) << text;
        EXPECT_EQ(TextOf(s), "keep") << text;
    }
}

TEST(StringTextFileForm, FileThatCannotSeekIsReadAsFarAsItGoes) {
    TString s("keep");
    s.ReadText(PipeWith(ToBytes("2147483647\nabc\n")).get());
    EXPECT_EQ(TextOf(s), "abc");
}

// --- text form on a stream -----------------------------------------------------------

TEST(StringTextStreamForm, ExactLines) {
    TString ab("a b");
    EXPECT_EQ(TextOnStream(ab), "\n1\n1\na_b\n");
    TString empty;
    EXPECT_EQ(TextOnStream(empty), "\n0\n\n");
    TString blanks(" x  ");
    EXPECT_EQ(TextOnStream(blanks), "\n3\n0\n2\n3\n_x__\n");
}

TEST(StringTextStreamForm, SequenceReadsBackIncludingEmptyTexts) {
    const std::vector<std::string> texts = {"a b",     "",     "under_score and blank", " lead", "",
                                            "tab\tin", "last "};
    std::ostringstream out;
    for (const std::string& t : texts) {
        TString s(t.c_str());
        s.WriteText(out);
    }
    std::istringstream in(out.str());
    for (const std::string& t : texts) {
        TString s("junk");
        s.ReadText(in);
        EXPECT_EQ(TextOf(s), t);
    }
}

TEST(StringTextStreamForm, ReadReusesTheBufferWhenTheTextFits) {
    TString s("a rather long text");
    const char* before = s.Text();
    std::istringstream in("\n1\n1\na_b\n");
    s.ReadText(in);
    EXPECT_EQ(TextOf(s), "a b");
    EXPECT_EQ(s.Text(), before);
    std::istringstream longer("\n0\n" + std::string(30, 'w') + "\n");
    s.ReadText(longer);
    EXPECT_EQ(s.Length(), 30);
    EXPECT_EQ(s.FCapacity, 31);
}

TEST(StringTextStreamForm, PositionsOutsideTheTextAreIgnored) {
    TString s;
    std::istringstream in("\n3\n-1\n1\n40\na_b_c\n");
    s.ReadText(in);
    EXPECT_EQ(TextOf(s), "a b_c");
}

TEST(StringTextStreamForm, TruncatedAndCorruptInputThrows) {
    const std::vector<std::string> bad = {"",          "\n",          "\n1",           "\n1\n",
                                          "\n1\n1",    "\n1\n1\n",    "\n2\n1\na_b\n", "\n-1\nab\n",
                                          "\nx\nab\n", "\n1\nq\nab\n"};
    for (const std::string& text : bad) {
        TString s("keep");
        std::istringstream in(text);
        EXPECT_THROW(s.ReadText(in), TKestSerialization) << text;
        EXPECT_EQ(TextOf(s), "keep") << text;
    }
}

TEST(StringTextStreamForm, InsertionWritesTheTextAndALineEnd) {
    std::ostringstream out;
    out << TString("a b") << TString();
    EXPECT_EQ(out.str(), "a b\n\n");
}

// --- named files and containers of strings -------------------------------------------

class TStringList : public TContainer {
public:
    void* CreateItem(int32_t) override { return static_cast<TContainerItem*>(new TString()); }
    TString& Item(int i) { return *static_cast<TString*>(static_cast<TContainerItem*>(At(i))); }
    void AddText(const char* text) { AddItem(static_cast<TContainerItem*>(new TString(text))); }
};

TEST(StringFiles, BinaryAndStreamFilesRoundTrip) {
    const std::string path = TempPath("files");
    TString s("path/with space.txt");
    s.SaveBinaryFile(path.c_str());
    TString back;
    back.LoadBinaryFile(path.c_str());
    EXPECT_EQ(TextOf(back), "path/with space.txt");
    s.SaveToStreamFile(path.c_str(), std::ios_base::out);
    TString fromText;
    fromText.LoadFromStreamFile(path.c_str(), std::ios_base::in);
    EXPECT_EQ(TextOf(fromText), "path/with space.txt");
    std::remove(path.c_str());
    EXPECT_THROW(back.LoadBinaryFile(path.c_str()), TKestFileException);
    EXPECT_EQ(TextOf(back), "path/with space.txt");
}

TEST(StringFiles, StringsAsItemsOfAContainer) {
    TStringList list;
    list.AddText("one");
    list.AddText("");
    list.AddText("three and four");
    TMemBuffer buffer;
    list.WriteToBuffer(buffer);
    buffer.Rewind();
    TStringList fromImage;
    fromImage.ReadFromSpace(buffer);
    ASSERT_EQ(fromImage.Count(), 3);
    EXPECT_EQ(TextOf(fromImage.Item(2)), "three and four");
    EXPECT_EQ(fromImage.Item(0).FOwner, &fromImage);

    std::stringstream text;
    list.WriteText(text);
    TStringList fromText;
    fromText.ReadText(text);
    ASSERT_EQ(fromText.Count(), 3);
    EXPECT_EQ(TextOf(fromText.Item(0)), "one");
    EXPECT_EQ(TextOf(fromText.Item(1)), "");
    EXPECT_EQ(TextOf(fromText.Item(2)), "three and four");
}

}  // namespace
