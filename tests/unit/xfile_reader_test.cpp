// The .x reader: header checks, text and binary syntax, MSZIP, the tree, references, limits,
// and every file of the shared corpus.
#include "miscounted_mesh.h"
#include "xfile/document.h"
#include "xfile_test_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

using xfile::Document;
using xfile::Error;
using xfile::Node;
using xfile::Status;
using xfile::Template;
using xfile_test::BinaryWriter;
using xfile_test::Bytes;
using xfile_test::MeshArray;
using xfile_test::Miscount;
using xfile_test::MiscountedModel;

namespace {

Status ParseBytes(std::string_view bytes, Document& doc, Error* e = nullptr) {
    return xfile::Parse(Bytes(bytes), doc, e);
}

Status ParseText(std::string_view body, Document& doc, Error* e = nullptr) {
    return ParseBytes("xof 0303txt 0032\n" + std::string(body), doc, e);
}

std::vector<double> Numbers(const Document& doc, const Node& n) {
    const xfile::Numbers s = doc.numbers(n);
    std::vector<double> out;
    for (size_t i = 0; i < s.size(); ++i)
        out.push_back(s[i]);
    return out;
}

// Two documents hold the same objects, names, strings and numbers (as floats, within
// `tolerance`).
void ExpectSameTree(const Document& a, const Document& b, double tolerance = 0) {
    ASSERT_EQ(a.nodes().size(), b.nodes().size());
    for (size_t i = 0; i < a.nodes().size(); ++i) {
        const Node& x = a.nodes()[i];
        const Node& y = b.nodes()[i];
        SCOPED_TRACE("node " + std::to_string(i) + " " + std::string(a.type_name(x)));
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.is_reference, y.is_reference);
        EXPECT_EQ(x.end, y.end);
        EXPECT_EQ(x.target, y.target);
        EXPECT_EQ(a.name(x), b.name(y));
        EXPECT_EQ(a.type_name(x), b.type_name(y));
        ASSERT_EQ(x.numbers_count, y.numbers_count);
        for (uint32_t k = 0; k < x.numbers_count; ++k)
            ASSERT_NEAR(static_cast<float>(a.numbers(x)[k]), static_cast<float>(b.numbers(y)[k]),
                        tolerance)
                << "number " << k;
        ASSERT_EQ(x.strings_count, y.strings_count);
        for (uint32_t k = 0; k < x.strings_count; ++k)
            EXPECT_EQ(a.string(x, k), b.string(y, k));
    }
}

// ---------------------------------------------------------------------------------------------
// Header

TEST(XFileHeader, AcceptsEveryFormatVersionAndFloatSize) {
    for (const char* h :
         {"xof 0303txt 0032", "xof 0302txt 0064", "xof 0303bin 0032", "xof 0303bin 0064"}) {
        Document doc;
        EXPECT_EQ(ParseBytes(h, doc), Status::Ok) << h;
        EXPECT_TRUE(doc.nodes().empty());
    }
    Document doc;
    EXPECT_EQ(ParseBytes("xof 0303bin 0064", doc), Status::Ok);
    EXPECT_EQ(doc.format(), xfile::Format::Binary);
    EXPECT_EQ(doc.float_size(), 64);
}

TEST(XFileHeader, EachFaultHasItsStatusAndPlace) {
    struct Case {
        const char* bytes;
        Status status;
        uint64_t offset;
    } cases[] = {
        {"xOf 0303txt 0032", Status::BadFileType, 0},
        {"xof 0303txt 003", Status::BadFileType, 0}, // shorter than a header
        {"", Status::BadFileType, 0},
        {"xof 0102txt 0032", Status::BadFileVersion, 4},
        {"xof 0304txt 0032", Status::BadFileVersion, 4},
        {"xof 0303cmp 0032", Status::BadFileType, 8},
        {"xof 0303TXT 0032", Status::BadFileType, 8},
        {"xof 0303txt 0050", Status::BadFileFloatSize, 12},
    };
    for (const Case& c : cases) {
        Document doc;
        Error e;
        EXPECT_EQ(ParseBytes(c.bytes, doc, &e), c.status) << c.bytes;
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.offset, c.offset) << c.bytes;
    }
}

// ---------------------------------------------------------------------------------------------
// Text syntax

TEST(XFileText, ReadsValuesWithTheSeparatorsExportersWrite) {
    Document doc;
    ASSERT_EQ(ParseText("Mesh m {\n"
                        "  3;\n"
                        "  1.0;2.0;3.0;,\n"
                        "  -4;5e-1;+6.25E+01;;;,\n"
                        "  .5;-.25;1.5e-005;,;\n"   // `,;` and `,` runs: accepted, unlike D3DX
                        "  2; 3;0,1,2;, 3;2,1,0;\n" // no `;` before '}'
                        "}",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 1u);
    EXPECT_EQ(Numbers(doc, doc.nodes()[0]),
              (std::vector<double>{3, 1, 2, 3, -4, 0.5, 62.5, 0.5, -0.25,
                                   static_cast<float>(1.5e-5), 2, 3, 0, 1, 2, 3, 2, 1, 0}));
}

TEST(XFileText, CommentsMayStandBetweenAnyTokens) {
    Document doc;
    ASSERT_EQ(ParseText("# header comment\n"
                        "Frame // type\n"
                        " f # name next\n"
                        "{ // open\n"
                        "  Vector { 1; # x\n 2; // y\n 3; }\n"
                        "}\n// trailing",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 2u);
    EXPECT_EQ(doc.name(doc.nodes()[0]), "f");
    EXPECT_EQ(Numbers(doc, doc.nodes()[1]), (std::vector<double>{1, 2, 3}));
}

TEST(XFileText, MsvcNanAndInfinityPrintsReadAsZero) {
    Document doc;
    ASSERT_EQ(ParseText("Vector { -1.#IND00; 1.#QNAN0; 1.#INF00; }", doc), Status::Ok);
    EXPECT_EQ(Numbers(doc, doc.nodes()[0]), (std::vector<double>{0, 0, 0}));
}

TEST(XFileText, DigitsUpToTheLargestDwordStayExactIntegersTheRestBecomeFloats) {
    Document doc;
    ASSERT_EQ(ParseText("Header { 4294967295; 123456789012; 0; 7.0; -0.0; -1; 0.1; }", doc),
              Status::Ok);
    const xfile::Numbers n = doc.numbers(doc.nodes()[0]);
    ASSERT_EQ(n.size(), 7u);
    EXPECT_TRUE(n.is_integer(0));
    EXPECT_EQ(n.integer(0), 4294967295u);
    EXPECT_FALSE(n.is_integer(1));
    EXPECT_EQ(n.real(1), 123456789012.0f);
    EXPECT_TRUE(n.is_integer(2));
    EXPECT_FALSE(n.is_integer(3)); // a whole number written with a point is a float
    EXPECT_EQ(n.real(3), 7.0f);
    EXPECT_FALSE(n.is_integer(4)); // -0 keeps its sign
    EXPECT_TRUE(std::signbit(n.real(4)));
    EXPECT_FALSE(n.is_integer(5));
    EXPECT_EQ(n.real(5), -1.0f);
    EXPECT_EQ(n.real(6), 0.1f);
}

TEST(XFileText, ANumberReadsTheSameWhereverItStandsAndHoweverLong) {
    // Numbers are read several bytes at a time away from the end of the text and one byte at
    // a time near it; long ones take the general way. All give the float nearest the double
    // nearest the decimal, and digits alone up to 2^32-1 stay integers.
    const char* spellings[] = {"-1.994286",
                               "0.045279",
                               "19285",
                               "4294967295",
                               "4294967296",
                               "1234567.7",
                               "12345678.123456",
                               "0.12345678",
                               "-0.0",
                               "5.",
                               "1.5e-005",
                               "0.1000000000000000055511151231257827",
                               "3.4028235677973366e38",
                               "1e-46",
                               "00000000000000000001"};
    for (const char* spelling : spellings) {
        const std::string number = spelling;
        const std::string padding(40, ' ');
        for (const std::string& text : {"Header { " + number + "; " + number + ";" + padding + "}",
                                        "Header { " + number + "; " + number + "; }"}) {
            SCOPED_TRACE(text);
            Document doc;
            ASSERT_EQ(ParseText(text, doc), Status::Ok);
            const xfile::Numbers n = doc.numbers(doc.nodes()[0]);
            ASSERT_EQ(n.size(), 2u);
            const bool digits_alone = number.find_first_not_of("0123456789") == std::string::npos;
            const double exact = std::strtod(spelling, nullptr);
            for (size_t i = 0; i < 2; ++i) {
                if (digits_alone && number.size() <= 18 && exact <= 4294967295.0) {
                    ASSERT_TRUE(n.is_integer(i));
                    EXPECT_EQ(n.integer(i), static_cast<uint32_t>(exact));
                } else {
                    ASSERT_FALSE(n.is_integer(i));
                    const float expected = static_cast<float>(exact), got = n.real(i);
                    EXPECT_EQ(std::memcmp(&expected, &got, 4), 0) << got << " vs " << expected;
                }
            }
        }
    }
}

// A template of the file's own, open to any values: objects of it carry numbers the reader keeps
// as they come, without a layout to fill. Declared on one line, so that a text's lines keep
// their numbers when it goes before them.
const char kValuesTemplate[] = "template Values { <a3f8c5d2-6b1e-4f07-9c3a-2d5e8b7f1a04> [...] } ";

// An object holding one run of numbers at least `bytes` long, each number's spelling and where
// it starts.
struct LongRun {
    std::string text;
    std::vector<std::string> spellings;
    std::vector<size_t> starts;

    // The same with `fault` in place of the first number that starts at or after `place`.
    LongRun WithFault(size_t place, const std::string& fault) const {
        size_t i = 0;
        while (starts[i] < place)
            ++i;
        LongRun run;
        run.text = text.substr(0, starts[i]) + fault + text.substr(starts[i] + spellings[i].size());
        run.spellings = spellings;
        run.spellings.erase(run.spellings.begin() + static_cast<long>(i));
        return run;
    }
};

LongRun MakeLongRun(size_t bytes) {
    const char* spellings[] = {
        "-1.994286",  "19285", "0.045279",        "4294967295",
        "4294967296", "+7",    "1.#IND00",        "5.",
        "1.5e-005",   "-0.0",  "12345678.123456", "0.1000000000000000055511151231257827"};
    LongRun run;
    run.text = std::string(kValuesTemplate) + "Values big {\n";
    for (size_t i = 0; run.text.size() < bytes; ++i) {
        const std::string number =
            i % 3 ? spellings[(i * 7) % std::size(spellings)] : std::to_string(i);
        run.starts.push_back(run.text.size());
        run.spellings.push_back(number);
        run.text += number + (i % 5 ? "," : ";") + (i % 8 ? " " : "\n");
    }
    run.text += "}\n";
    return run;
}

void ExpectReadAsSpelled(const Document& doc, const std::vector<std::string>& spellings) {
    ASSERT_EQ(doc.nodes().size(), 1u);
    const xfile::Numbers n = doc.numbers(doc.nodes()[0]);
    ASSERT_EQ(n.size(), spellings.size());
    for (size_t i = 0; i < n.size(); ++i) {
        const std::string& number = spellings[i];
        const bool digits = number.find_first_not_of("+0123456789") == std::string::npos;
        const double exact = number == "1.#IND00" ? 0.0 : std::strtod(number.c_str(), nullptr);
        if (digits && exact <= 4294967295.0) {
            ASSERT_TRUE(n.is_integer(i)) << i << ": " << number;
            ASSERT_EQ(n.integer(i), static_cast<uint32_t>(exact)) << i << ": " << number;
        } else {
            ASSERT_FALSE(n.is_integer(i)) << i << ": " << number;
            const float expected = static_cast<float>(exact), got = n.real(i);
            ASSERT_EQ(std::memcmp(&expected, &got, 4), 0) << i << ": " << number;
        }
    }
}

TEST(XFileText, ALongRunReadsAsSpelledThroughout) {
    // Long runs are read in pieces of about a megabyte by two threads.
    for (size_t bytes : {size_t{100} << 10, size_t{3} << 20, size_t{5} << 20}) {
        SCOPED_TRACE(bytes);
        const LongRun run = MakeLongRun(bytes);
        Document doc;
        Error e;
        ASSERT_EQ(ParseText(run.text, doc, &e), Status::Ok) << e.message;
        ExpectReadAsSpelled(doc, run.spellings);
    }
}

TEST(XFileText, ALongRunStopsAtItsFaultWhereverItStands) {
    // Around the places where a long run is cut into pieces (its first 64 KB, then every 1 MB),
    // and between them: what ends the run is found where it stands, as in a short text.
    std::vector<size_t> places;
    for (size_t piece : {size_t{64} << 10, (size_t{64} << 10) + (size_t{1} << 20),
                         (size_t{64} << 10) + (size_t{2} << 20)})
        for (long d = -24; d <= 24; d += 16)
            places.push_back(static_cast<size_t>(static_cast<long>(piece) + d));
    places.push_back(size_t{1} << 20);
    const LongRun whole = MakeLongRun((size_t{64} << 10) + (size_t{2} << 20) + 4096);
    const char* faults[] = {"1.5f", "1 2", "}", "# note\n 3"};
    for (const std::string fault : faults) {
        for (size_t place : places) {
            SCOPED_TRACE(fault + " at " + std::to_string(place));
            LongRun run = whole.WithFault(place, fault);
            Document doc;
            Error e;
            const Status status = ParseText(run.text, doc, &e);
            const size_t at = run.text.find(fault, std::strlen(kValuesTemplate));
            if (fault[0] == '#' || fault[0] == '/') {
                // A comment ends the run; the number after it carries on the object's values.
                ASSERT_EQ(status, Status::Ok) << e.message;
                const size_t before = static_cast<size_t>(
                    std::count_if(run.text.begin(), run.text.begin() + static_cast<long>(at),
                                  [](char c) { return c == ',' || c == ';'; }));
                run.spellings.insert(run.spellings.begin() + static_cast<long>(before),
                                     fault.substr(fault.size() - 1));
                ExpectReadAsSpelled(doc, run.spellings);
                continue;
            }
            ASSERT_EQ(status, Status::ParseError);
            // The same fault's line and the one after it, alone in the object: the error comes
            // at the same place in them.
            const size_t line_start = run.text.rfind('\n', at) + 1;
            const size_t lines_end = run.text.find('\n', run.text.find('\n', at) + 1);
            const std::string prefix = std::string(kValuesTemplate) + "Values big {\n";
            Document small;
            Error expected;
            ASSERT_EQ(
                ParseText(prefix + run.text.substr(line_start, lines_end - line_start) + "\n}\n",
                          small, &expected),
                Status::ParseError);
            const uint32_t lines = static_cast<uint32_t>(std::count(
                run.text.begin(), run.text.begin() + static_cast<long>(line_start), '\n'));
            EXPECT_EQ(e.line, expected.line + lines - 1) << e.message;
            EXPECT_EQ(e.column, expected.column) << e.message;
            EXPECT_EQ(e.offset, expected.offset - prefix.size() + line_start);
            EXPECT_STREQ(e.message, expected.message);
            EXPECT_TRUE(doc.nodes().empty());
        }
    }
}

TEST(XFileText, ASkippedObjectLeavesNoIntegerMarksBehind) {
    // 70 integers in an unknown object, then floats where they were in the number array.
    std::string integers;
    for (int i = 0; i < 70; ++i)
        integers += std::to_string(i) + ";";
    Document doc;
    ASSERT_EQ(ParseText("Frame f { Vector { 0.5; 0.25; 1; } Undeclared { " + integers +
                            " } Vector { 1.5; 2.5; 3.5; } }",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 3u);
    EXPECT_EQ(Numbers(doc, doc.nodes()[2]), (std::vector<double>{1.5, 2.5, 3.5}));
    EXPECT_FALSE(doc.numbers(doc.nodes()[2]).is_integer(0));
}

TEST(XFileText, NamesTakeOddCharactersAndCp932) {
    Document doc;
    // "\x83\x7b" is a CP932 character whose second byte is '{'.
    ASSERT_EQ(ParseText("Frame Box01.001-#2|x {}\n"
                        "Frame 1stBone {}\n"
                        "Frame \x83\x7b\x95\x5c {}\n",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 3u);
    EXPECT_EQ(doc.name(doc.nodes()[0]), "Box01.001-#2|x");
    EXPECT_EQ(doc.name(doc.nodes()[1]), "1stBone");
    EXPECT_EQ(doc.name(doc.nodes()[2]), "\x83\x7b\x95\x5c");
}

TEST(XFileText, TemplateNamesMatchInAnyCase) {
    Document doc;
    ASSERT_EQ(ParseText("TextureFileName { \"a.png\"; }\n"
                        "TEXTUREFILENAME { \"b.png\"; }\n"
                        "texturefilename { \"c.png\"; }\n"
                        "mesh { 0; 0; }",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(doc.nodes()[i].type, Template::TextureFilename);
    EXPECT_EQ(doc.type_name(doc.nodes()[0]), "TextureFileName");
    EXPECT_EQ(doc.nodes()[3].type, Template::Mesh);
}

TEST(XFileText, StringsAreKeptVerbatim) {
    Document doc;
    ASSERT_EQ(ParseText("TextureFilename { \".\\\\tex;tures\\\\a b.png\"; }\n"
                        "TextureFilename { \"\"; }",
                        doc),
              Status::Ok);
    EXPECT_EQ(doc.string(doc.nodes()[0], 0), ".\\\\tex;tures\\\\a b.png");
    EXPECT_EQ(doc.nodes()[1].strings_count, 1u);
    EXPECT_EQ(doc.string(doc.nodes()[1], 0), "");
}

TEST(XFileText, TemplatesAreDeclaredAndTheirObjectsKept) {
    Document doc;
    ASSERT_EQ(ParseText("template KeyValuePair {\n"
                        " <26e6b1c3-3d4d-4a1d-a437-b33668ffa1c2>\n"
                        " STRING key;\n STRING value;\n"
                        " array DWORD d[2][nCount];\n"
                        " [...]\n"
                        "}\n"
                        "template Restricted { <26E6B1C3-3D4D-4A1D-A437-B33668FFA1C3> "
                        "[Material <3d82ab4d-62da-11cf-ab39-0020af71e433>, Frame] }\n"
                        "keyvaluepair { \"k\"; \"v\"; }\n",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 1u);
    EXPECT_EQ(doc.nodes()[0].type, Template::Custom);
    EXPECT_EQ(doc.string(doc.nodes()[0], 1), "v");
}

TEST(XFileText, UnknownObjectsAreSkippedWithAllTheyHold) {
    Document doc;
    ASSERT_EQ(ParseText("Mystery a { 1; 2; \"s\"; Vector { 1; 2; 3; } Other { Frame {} } }\n"
                        "Frame f { Mystery { 7; } Vector v { 4; 5; 6; } }",
                        doc),
              Status::Ok);
    ASSERT_EQ(doc.nodes().size(), 2u);
    EXPECT_EQ(doc.name(doc.nodes()[0]), "f");
    EXPECT_EQ(doc.nodes()[0].end, 2u);
    EXPECT_EQ(Numbers(doc, doc.nodes()[1]), (std::vector<double>{4, 5, 6}));
}

TEST(XFileText, GuidOpensAnObject) {
    Document doc;
    ASSERT_EQ(ParseText("Frame f { <01234567-89ab-cdef-0123-456789ABCDEF> }", doc), Status::Ok);
    const Node& n = doc.nodes()[0];
    ASSERT_TRUE(n.has_guid);
    EXPECT_EQ(n.guid.data1, 0x01234567u);
    EXPECT_EQ(n.guid.data2, 0x89abu);
    EXPECT_EQ(n.guid.data3, 0xcdefu);
    EXPECT_EQ(n.guid.data4[0], 0x01);
    EXPECT_EQ(n.guid.data4[7], 0xEF);
}

TEST(XFileText, EachSyntaxFaultIsAParseErrorAtItsPlace) {
    struct Case {
        const char* body; // follows "xof 0303txt 0032\n": line 2 is the body's first line
        uint32_t line, column;
    } cases[] = {
        {"Vector { 1 2; 3; }", 2, 12},         // no separator between values
        {"Vector { \"s\" 2; }", 2, 14},        // no separator after a string
        {"TextureFilename { \"abc; }", 2, 19}, // string never closed
        {"Vector { 1; / 2; }", 2, 13},         // lone '/'
        {"Frame { <0123-45> }", 2, 9},         // malformed GUID
        {"Vector { 1.5f; }", 2, 10},           // malformed number
        {"Vector { 1.2.3; }", 2, 10},          // malformed number
        {"Vector { -; }", 2, 10},              // sign without digits
        {"Frame {\n Frame {\n}", 4, 2},        // '}' missing at the end
        {"Frame a b {}", 2, 9},                // two names
        {"Frame a", 2, 8},                     // '{' missing
        {"Frame { Vector {} 2; }", 2, 19},     // values after a child
        {"Frame { 1; <01234567-89ab-cdef-0123-456789abcdef> }", 2, 12}, // GUID not first
        {"Frame { { } }", 2, 11},                                       // empty reference
        {"Frame { { a b } }", 2, 13},                                   // reference with two names
        {"Frame { { a ", 2, 13},                                        // reference cut short
        {"\n  12;", 3, 3},                                              // value outside any object
        {"Frame { [ }", 2, 9},                                          // stray bracket in data
        {"template { }", 2, 10},                                        // template without a name
        {"template T { DWORD a; { }", 2, 23},                           // '{' inside a template
        {"template T { DWORD a;", 2, 22},                               // template never closed
        {"}\nFrame {}", 2, 1}, // '}' with nothing open, and an object after it
        {"Frame > {}", 2, 7},  // '>' without a GUID
    };
    for (const Case& c : cases) {
        Document doc;
        Error e;
        EXPECT_EQ(ParseText(c.body, doc, &e), Status::ParseError) << c.body;
        EXPECT_EQ(e.status, Status::ParseError);
        EXPECT_EQ(e.line, c.line) << c.body << ": " << e.message;
        EXPECT_EQ(e.column, c.column) << c.body << ": " << e.message;
        EXPECT_TRUE(doc.nodes().empty());
    }
}

TEST(XFileText, ErrorOnTheHeaderLineCountsTheHeaderColumns) {
    Document doc;
    Error e;
    ASSERT_EQ(ParseBytes("xof 0303txt 0032 Frame { 1 2; }", doc, &e), Status::ParseError);
    EXPECT_EQ(e.line, 1u);
    EXPECT_EQ(e.column, 28u);
    EXPECT_EQ(e.offset, 27u);
}

// ---------------------------------------------------------------------------------------------
// Tree and references

TEST(XFileTree, ChildrenAreWalkedInFileOrder) {
    Document doc;
    ASSERT_EQ(ParseText("Frame a { Frame b { Frame c {} } Mesh m { 0; 0; } }\nFrame d {}", doc),
              Status::Ok);
    std::vector<std::string> top, children;
    for (const Node& n : doc.top_level())
        top.emplace_back(doc.name(n));
    for (const Node& n : doc.children(doc.nodes()[0]))
        children.emplace_back(doc.name(n));
    EXPECT_EQ(top, (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(children, (std::vector<std::string>{"b", "m"}));
}

TEST(XFileTree, ReferencesResolveToEarlierClosedObjects) {
    Document doc;
    ASSERT_EQ(ParseText("Material red { <11111111-2222-3333-4444-555555555555> 1;0;0;1;; 0; "
                        "0;0;0;; 0;0;0;; }\n"
                        "Material red { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }\n" // a second "red"
                        "Frame f {\n"
                        "  { red }\n"
                        "  { <11111111-2222-3333-4444-555555555555> }\n"
                        "  { red <11111111-2222-3333-4444-555555555555> }\n"
                        "  { f }\n"     // its own ancestor: not closed yet
                        "  { later }\n" // defined after the reference
                        "  { nowhere }\n"
                        "}\n"
                        "Frame later {}",
                        doc),
              Status::Ok);
    std::vector<const Node*> refs;
    for (const Node& n : doc.children(doc.nodes()[2]))
        refs.push_back(&n);
    ASSERT_EQ(refs.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(refs[i]->is_reference);
        ASSERT_EQ(doc.resolve(*refs[i]), &doc.nodes()[0]) << i;
    }
    for (int i = 3; i < 6; ++i)
        EXPECT_EQ(doc.resolve(*refs[i]), nullptr) << i;
    EXPECT_EQ(doc.resolve(doc.nodes()[0]), &doc.nodes()[0]);
}

TEST(XFileTree, NestingIsBounded) {
    std::string deep;
    for (uint32_t i = 0; i < xfile::kMaxDepth; ++i)
        deep += "Frame{";
    deep += std::string(xfile::kMaxDepth, '}');
    Document doc;
    ASSERT_EQ(ParseText(deep, doc), Status::Ok);
    EXPECT_EQ(doc.nodes().size(), xfile::kMaxDepth);

    std::string hostile;
    for (int i = 0; i < 100000; ++i)
        hostile += "Frame{";
    Error e;
    EXPECT_EQ(ParseText(hostile, doc, &e), Status::ParseError);
    EXPECT_EQ(e.offset, 17u + 6u * xfile::kMaxDepth);
    EXPECT_TRUE(doc.nodes().empty());
}

// ---------------------------------------------------------------------------------------------
// Binary

std::string BinaryCube(bool doubles) {
    BinaryWriter w(doubles);
    const uint8_t d4[8] = {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33};
    w.Token(31).Name("Vector").Open().Guid(0x3D82AB5E, 0x62DA, 0x11CF, d4);
    w.Token(42).Name("x").Semicolon().Token(42).Name("y").Semicolon().Close();
    w.Name("Material").Name("red").Open().Floats({1, 0, 0, 1, 8.5, 0, 0, 0, 0.25, 0.5, 0.75});
    w.Name("TextureFilename").Open().String("tex\\red.png").Close().Close();
    w.Name("Frame").Name("root").Open();
    w.Name("Mesh")
        .Open()
        .Integers({3})
        .Floats({0, 0, 0, 1, 0, 0, 0, 1, 0.1})
        .Integers({1, 3, 0, 1, 2}); // nFaces, then a face: one list across members
    w.Name("MeshMaterialList").Open().Integers({1, 1, 0}).Open().Name("red").Close().Close();
    w.Close().Close();
    return w.str();
}

TEST(XFileBinary, ReadsObjectsListsStringsAndReferences) {
    Document doc;
    Error e;
    ASSERT_EQ(ParseBytes("xof 0303bin 0032" + BinaryCube(false), doc, &e), Status::Ok) << e.message;
    ASSERT_EQ(doc.nodes().size(), 6u);
    const Node& mat = doc.nodes()[0];
    EXPECT_EQ(mat.type, Template::Material);
    EXPECT_EQ(doc.name(mat), "red");
    EXPECT_EQ(Numbers(doc, mat)[4], 8.5);
    EXPECT_EQ(doc.string(doc.nodes()[1], 0), "tex\\red.png");
    const Node& mesh = doc.nodes()[3];
    EXPECT_EQ(mesh.type, Template::Mesh);
    EXPECT_EQ(Numbers(doc, mesh), (std::vector<double>{3, 0, 0, 0, 1, 0, 0, 0, 1,
                                                       static_cast<float>(0.1), 1, 3, 0, 1, 2}));
    EXPECT_EQ(doc.resolve(doc.nodes()[5]), &mat);
}

TEST(XFileBinary, SixtyFourBitFloatsReadAsTheNearestFloats) {
    Document d32, d64;
    ASSERT_EQ(ParseBytes("xof 0303bin 0064" + BinaryCube(true), d64), Status::Ok);
    ASSERT_EQ(ParseBytes("xof 0303bin 0032" + BinaryCube(false), d32), Status::Ok);
    EXPECT_EQ(d64.numbers(d64.nodes()[3]).real(9), 0.1f);
    ExpectSameTree(d32, d64);
    // The same bytes read with the other float width no longer fit their tokens.
    EXPECT_EQ(ParseBytes("xof 0303bin 0032" + BinaryCube(true), d32), Status::ParseError);
}

TEST(XFileBinary, EachTokenFaultIsAParseErrorAtItsOffset) {
    struct Case {
        std::string tokens;
        uint64_t offset; // in the file, header included
    } cases[] = {
        {BinaryWriter().Name("Frame").Open().Token(99).str(), 16 + 11 + 2},
        {BinaryWriter().Name("Frame").Open().Put(uint16_t{6}).Put(uint32_t{1000}).Put(1u).str(),
         16 + 13},
        {BinaryWriter().Name("Frame").Open().Put(uint16_t{7}).Put(0x40000001u).str(), 16 + 13},
        {BinaryWriter().Put(uint16_t{1}).Put(uint32_t{50}).Raw("Frame").str(), 16},
        {BinaryWriter().Name("Frame").Open().Put(uint16_t{2}).Put(uint32_t{5}).str(), 16 + 13},
        {BinaryWriter().Name("Frame").Open().Put(uint16_t{5}).Put(1u).str(), 16 + 13},
        {BinaryWriter().Name("Frame").Open().Put(uint16_t{3}).Put(uint16_t{1}).str(), 16 + 13},
        {BinaryWriter().Name("Frame").Open().str(), 16 + 13},    // '}' missing
        {BinaryWriter().Integers({1, 2}).str(), 16},             // values outside objects
        {BinaryWriter().Name("Frame").Token(12).str(), 16 + 11}, // '{' expected
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Document doc;
        Error e;
        EXPECT_EQ(ParseBytes("xof 0303bin 0032" + cases[i].tokens, doc, &e), Status::ParseError)
            << i;
        EXPECT_EQ(e.offset, cases[i].offset) << i << ": " << e.message;
        EXPECT_EQ(e.line, 0u);
    }
}

// ---------------------------------------------------------------------------------------------
// What may follow the last object, and lists against their counts

// 1-based line and column of byte `offset` of a text file, counted from the file's first byte.
std::pair<uint32_t, uint32_t> LineAndColumn(const std::string& file, size_t offset) {
    const size_t line_start = file.rfind('\n', offset - 1) + 1; // npos + 1 = 0: the first line
    return {static_cast<uint32_t>(std::count(file.begin(), file.begin() + long(offset), '\n') + 1),
            static_cast<uint32_t>(offset - line_start + 1)};
}

// Text and binary forms of the same model, plain and compressed, each with a trailer appended
// to its data.
struct Form {
    const char* name;
    bool text;
    std::string bytes; // the model as it stands, header included
};

std::vector<Form> ModelForms() {
    const std::string text = xfile_test::MiscountedText({}).bytes;
    const std::string bin32 = xfile_test::MiscountedBinary({}, false).bytes;
    const std::string bin64 = xfile_test::MiscountedBinary({}, true).bytes;
    return {{"text", true, text}, {"binary 32", false, bin32}, {"binary 64", false, bin64}};
}

// `form` with `trailer` after its data, plain or in MSZIP blocks.
std::string WithTrailer(const Form& form, const std::string& trailer, bool compressed) {
    if (!compressed) return form.bytes + trailer;
    std::string header = form.bytes.substr(0, 16);
    header.replace(8, 4, form.text ? "tzip" : "bzip");
    return xfile_test::Compressed(header, form.bytes.substr(16) + trailer, 64);
}

const std::string kZeros(16, '\0');

TEST(XFileEnd, StrayClosingBracesAfterTheLastObjectReadAsIfAbsent) {
    // As D3DX reads them (its file parser stops at the stray '}' with every object read): the
    // same objects, values and references as without them. NUL bytes after the data are
    // white space in text and padding in binary.
    const std::string text_trailers[] = {"}",
                                         "}\n",
                                         "\n}\n",
                                         "}}",
                                         "} }\n}\r\n",
                                         "}\n" + kZeros,
                                         kZeros.substr(0, 1),
                                         kZeros.substr(0, 5) + "\n",
                                         "}\n// one too many\n",
                                         "# closing\n}\n# again",
                                         "\n\n\t"};
    const std::string close = BinaryWriter().Close().str();
    const std::string binary_trailers[] = {close,
                                           close + close + close,
                                           close + kZeros.substr(0, 1),
                                           close + kZeros.substr(0, 4),
                                           close + close + kZeros.substr(0, 7),
                                           kZeros.substr(0, 1),
                                           kZeros.substr(0, 2),
                                           kZeros};
    for (const Form& form : ModelForms()) {
        Document reference;
        ASSERT_EQ(ParseBytes(form.bytes, reference), Status::Ok) << form.name;
        ASSERT_EQ(reference.nodes().size(), 10u);
        for (const std::string& trailer : form.text ? std::span<const std::string>(text_trailers)
                                                    : std::span<const std::string>(binary_trailers))
            for (bool compressed : {false, true}) {
                SCOPED_TRACE(std::string(form.name) + (compressed ? " compressed" : "") +
                             ", trailer of " + std::to_string(trailer.size()) + " bytes");
                Document doc;
                Error e;
                ASSERT_EQ(ParseBytes(WithTrailer(form, trailer, compressed), doc, &e), Status::Ok)
                    << e.message << " at " << e.offset;
                ExpectSameTree(reference, doc);
            }
    }
    // No object at all: a '}' alone reads as an empty file.
    Document doc;
    EXPECT_EQ(ParseText("}\n}", doc), Status::Ok);
    EXPECT_TRUE(doc.nodes().empty());
}

TEST(XFileEnd, AStrayBraceWithMoreAfterItIsAParseErrorAtTheBrace) {
    // The data do not end there: the file parser fails on what follows, as on any object that
    // does not parse, and D3DX reports its parse error. The error names the '}'.
    const std::string binary_frame =
        BinaryWriter().Name("Frame").Name("after").Open().Close().str();
    const std::string close = BinaryWriter().Close().str();
    for (const Form& form : ModelForms()) {
        std::vector<std::string> trailers;
        if (form.text) {
            trailers = {"}\nFrame after {}\n",
                        "}\ntemplate Late { <a3f8c5d2-6b1e-4f07-9c3a-2d5e8b7f1a05> }", "}} 7;",
                        "\n  }\n# note\nMesh m { 0;; 0;; }", "}" + kZeros + "Frame {}"};
        } else {
            trailers = {close + binary_frame, close + close + binary_frame,
                        close + BinaryWriter().Integers({7}).str()};
        }
        for (const std::string& trailer : trailers)
            for (bool compressed : {false, true}) {
                SCOPED_TRACE(std::string(form.name) + (compressed ? " compressed" : "") + ": " +
                             trailer);
                Document doc;
                Error e;
                ASSERT_EQ(ParseBytes(WithTrailer(form, trailer, compressed), doc, &e),
                          Status::ParseError);
                const size_t brace = form.bytes.size() + (form.text ? trailer.find('}') : 0);
                EXPECT_EQ(e.offset, brace) << e.message;
                if (form.text) {
                    const auto [line, column] = LineAndColumn(form.bytes + trailer, brace);
                    EXPECT_EQ(e.line, line);
                    EXPECT_EQ(e.column, column);
                }
                EXPECT_TRUE(doc.nodes().empty());
            }
    }
    // Before the first object, too.
    Document doc;
    Error e;
    EXPECT_EQ(ParseText("}\nFrame f {}", doc, &e), Status::ParseError);
    EXPECT_EQ(e.line, 2u);
    EXPECT_EQ(e.column, 1u);
    EXPECT_EQ(ParseBytes("xof 0303bin 0032" + close + binary_frame, doc, &e), Status::ParseError);
    EXPECT_EQ(e.offset, 16u);
}

TEST(XFileEnd, OtherBytesAfterTheLastObjectAreStillParseErrors) {
    const Form text = ModelForms()[0], binary = ModelForms()[1];
    struct Case {
        const Form& form;
        std::string trailer;
        size_t at; // where in the trailer the error is
    } cases[] = {
        {text, "7;", 0},
        {text, "\nleft over", 1 + 9}, // a name, then no '{' where the end is
        {binary, "\r\n", 0},          // the bytes of a line end: no token
        {binary, kZeros.substr(0, 4) + "\x01", 0},
        {binary, BinaryWriter().Token(99).str(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form.name + (": " + c.trailer));
        Document doc;
        Error e;
        ASSERT_EQ(ParseBytes(c.form.bytes + c.trailer, doc, &e), Status::ParseError);
        EXPECT_EQ(e.offset, c.form.bytes.size() + c.at) << e.message;
    }
}

TEST(XFileCounts, EveryArrayListedLongerOrShorterThanItsCountIsAParseError) {
    // The file parser reads an object's values as its template lays them out: a count, then that
    // many elements. One more is a value where the template has none (or where it has a count,
    // which a coordinate is not); one fewer leaves the next value, child or '}' where an element
    // belongs. Either way the object does not parse.
    for (MeshArray array : xfile_test::kMeshArrays)
        for (int listed : {1, -1, 0}) {
            const Miscount m{array, listed};
            struct Written {
                const char* form;
                MiscountedModel model;
                std::string bytes;
            };
            const MiscountedModel text = xfile_test::MiscountedText(m);
            const MiscountedModel bin32 = xfile_test::MiscountedBinary(m, false);
            const MiscountedModel bin64 = xfile_test::MiscountedBinary(m, true);
            const Written forms[] = {
                {"text", text, text.bytes},
                {"tzip", text,
                 xfile_test::Compressed("xof 0303tzip0032", text.bytes.substr(16), 64)},
                {"binary 32", bin32, bin32.bytes},
                {"binary 64", bin64, bin64.bytes},
                {"bzip", bin64,
                 xfile_test::Compressed("xof 0303bzip0064", bin64.bytes.substr(16), 64)},
            };
            for (const Written& w : forms) {
                SCOPED_TRACE(std::string(w.form) + ": " + xfile_test::ArrayName(array) + ", " +
                             std::to_string(listed) + " listed beyond the count");
                Document doc;
                Error e;
                const Status status = ParseBytes(w.bytes, doc, &e);
                if (listed == 0) {
                    ASSERT_EQ(status, Status::Ok) << e.message << " at " << e.offset;
                    continue;
                }
                ASSERT_EQ(status, Status::ParseError);
                EXPECT_TRUE(doc.nodes().empty());
                // Where the reader stops: the first element past the count; for one fewer, the
                // child or '}' that comes where the last element belongs, except where the
                // array is followed by more values of its object, which it then takes in (the
                // vertices and normals): the error is then among those values.
                const bool inside =
                    listed < 0 && (array == MeshArray::Vertices || array == MeshArray::Normals);
                const size_t expected = listed > 0 ? w.model.surplus : w.model.after_values;
                if (inside) {
                    EXPECT_LT(e.offset, expected) << e.message;
                } else {
                    EXPECT_EQ(e.offset, expected) << e.message;
                }
                if (w.form[0] == 't') {
                    const auto [line, column] = LineAndColumn(w.model.bytes, e.offset);
                    EXPECT_EQ(e.line, line);
                    EXPECT_EQ(e.column, column);
                } else {
                    EXPECT_EQ(e.line, 0u);
                }
            }
        }
}

TEST(XFileCounts, CountsAreWholeNumbersAndArraysHoldNumbersOnly) {
    struct Case {
        std::string body;
        Status status;
        uint32_t column = 0; // of the error, on line 2
    } cases[] = {
        {"MeshTextureCoords { 1; 0.5;0.5;; }", Status::Ok},
        {"MeshTextureCoords { 1.0; 0.5;0.5;; }", Status::Ok}, // whole, though written as a float
        {"MeshTextureCoords { 1.5; 0.5;0.5;; }", Status::ParseError, 21},
        {"MeshTextureCoords { -1; 0.5;0.5;; }", Status::ParseError, 21},
        {"MeshTextureCoords { 1; \"u\"; 0.5;; }", Status::ParseError, 24},
        {"MeshMaterialList { 1; 1; 0;; \"m\"; }", Status::ParseError, 30},
        {"Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; 0; }", Status::ParseError, 41},
        {"Material { 1;1;1;1;; 0; 0;0;0;; 0;0; }", Status::ParseError, 38},
        {"FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }", Status::Ok},
        {"FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0;; }", Status::ParseError, 59},
        {"Mesh { 0;; 0;; }", Status::Ok},
        {"Mesh { 0;; 1; 0;; }", Status::Ok}, // a face without corners: D3DX refuses it later
        {"Mesh { 0;; 1; }", Status::ParseError, 15},
        // Objects of other templates, and of the file's own, take what comes.
        {"Vector { 1; 2; 3; 4; }", Status::Ok},
        {"Frame { 1; \"s\"; }", Status::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        Document doc;
        Error e;
        ASSERT_EQ(ParseText(c.body, doc, &e), c.status) << e.message;
        if (c.status == Status::Ok) continue;
        EXPECT_EQ(e.line, 2u);
        EXPECT_EQ(e.column, c.column) << e.message;
    }
    // Binary: a count in a float list is taken when it is whole.
    const auto uvs = [](float count) {
        return "xof 0303bin 0032" + BinaryWriter()
                                        .Name("MeshTextureCoords")
                                        .Open()
                                        .Floats({count, 0.5, 0.5})
                                        .Close()
                                        .str();
    };
    Document doc;
    Error e;
    EXPECT_EQ(ParseBytes(uvs(1), doc), Status::Ok);
    EXPECT_EQ(ParseBytes(uvs(1.5f), doc, &e), Status::ParseError);
    EXPECT_EQ(e.offset, 16u + 2 + 4 + 17 + 2 + 2 + 4);
}

// ---------------------------------------------------------------------------------------------
// MSZIP

std::string LongText() {
    std::string s = "Mesh big {\n 6000;\n";
    for (int i = 0; i < 6000; ++i)
        s += " " + std::to_string(i) + ".5;" + std::to_string(i % 7) + ".25;-1.0;" +
             (i + 1 < 6000 ? ",\n" : ";\n");
    s += " 1; 3;0,1,2;;\n}\n";
    return s;
}

TEST(XFileMszip, CompressedTextSpansBlocksThatShareHistory) {
    const std::string text = LongText();
    ASSERT_GT(text.size(), 3u * 32768);
    Document plain, packed;
    ASSERT_EQ(ParseBytes("xof 0303txt 0032" + text, plain), Status::Ok);
    for (size_t block : {size_t{32768}, size_t{1000}}) {
        Error e;
        ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303tzip0032", text, block), packed, &e),
                  Status::Ok)
            << e.message;
        ExpectSameTree(plain, packed);
    }
}

TEST(XFileMszip, CompressedBinaryEqualsPlainBinary) {
    const std::string tokens = BinaryCube(false);
    Document plain, packed;
    ASSERT_EQ(ParseBytes("xof 0303bin 0032" + tokens, plain), Status::Ok);
    ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303bzip0032", tokens, 40), packed),
              Status::Ok);
    ExpectSameTree(plain, packed);
    EXPECT_EQ(packed.format(), xfile::Format::Binary);
}

TEST(XFileMszip, EachBlockFaultIsAParseError) {
    const std::string text = LongText();
    const std::string good = xfile_test::Compressed("xof 0303tzip0032", text, 8192);
    auto with_total = [&](uint32_t total) {
        std::string s = good;
        std::memcpy(s.data() + 16, &total, 4);
        return s;
    };
    std::string no_ck = good;
    no_ck[24] = 'X';
    std::string corrupt = good;
    for (size_t i = 40; i < 60; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    std::string oversized_block = good;
    const uint16_t huge = 40000;
    std::memcpy(oversized_block.data() + 20, &huge, 2);

    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no size", "xof 0303tzip0032"},
        {"size below the header's", with_total(15)},
        {"declared size larger than the data", with_total(static_cast<uint32_t>(text.size()) + 17)},
        {"declared size smaller than the data",
         with_total(static_cast<uint32_t>(text.size()) + 15)},
        {"missing CK", no_ck},
        {"corrupt deflate data", corrupt},
        {"block larger than 32 KB", oversized_block},
        {"cut short", good.substr(0, good.size() / 2)},
    };
    for (const Case& c : cases) {
        Document doc;
        Error e;
        EXPECT_EQ(ParseBytes(c.bytes, doc, &e), Status::ParseError) << c.what;
        EXPECT_TRUE(doc.nodes().empty());
    }
}

// A mesh as exporters write one, at least `bytes` long, which deflates about as well as theirs
// do: vertices over two thirds of it (no coordinate a whole number), triangles over the rest.
std::string ExportedText(size_t bytes) {
    uint32_t seed = 12345;
    const auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    std::string vertices, faces;
    char line[80];
    uint32_t vertex_count = 0, face_count = 0;
    while (vertices.size() < bytes / 3 * 2) {
        const int n = std::snprintf(line, sizeof line, "%u.%06u;%u.%06u;-%u.%06u;,\n", next() % 5,
                                    next() % 999999 + 1, next() % 5, next() % 999999 + 1,
                                    next() % 5, next() % 999999 + 1);
        vertices.append(line, static_cast<size_t>(n));
        ++vertex_count;
    }
    vertices[vertices.size() - 2] = ';'; // the array's last element: ";;"
    while (vertices.size() + faces.size() < bytes) {
        const int n = std::snprintf(line, sizeof line, "3;%u,%u,%u;,\n", next() % vertex_count,
                                    next() % vertex_count, next() % vertex_count);
        faces.append(line, static_cast<size_t>(n));
        ++face_count;
    }
    faces[faces.size() - 2] = ';';
    return "Mesh m {\n" + std::to_string(vertex_count) + ";\n" + vertices +
           std::to_string(face_count) + ";\n" + faces + "}\n";
}

void ExpectSameNumbers(const Document& a, const Document& b) {
    ASSERT_EQ(a.nodes().size(), b.nodes().size());
    for (size_t i = 0; i < a.nodes().size(); ++i) {
        const xfile::Numbers x = a.numbers(a.nodes()[i]), y = b.numbers(b.nodes()[i]);
        ASSERT_EQ(x.size(), y.size());
        for (size_t k = 0; k < x.size(); ++k) {
            ASSERT_EQ(x.is_integer(k), y.is_integer(k)) << k;
            const float f = x.real(k), g = y.real(k);
            ASSERT_EQ(std::memcmp(&f, &g, 4), 0) << k;
        }
    }
}

// The offset of the compressed block that inflates to the byte at `at` of the text.
size_t BlockHolding(const std::string& packed, size_t at) {
    size_t pos = 20, inflated = 0;
    for (;;) {
        uint16_t raw, size;
        std::memcpy(&raw, packed.data() + pos, 2);
        std::memcpy(&size, packed.data() + pos + 2, 2);
        if (inflated + raw > at) return pos;
        inflated += raw;
        pos += 4 + size;
    }
}

TEST(XFileMszip, LongCompressedTextReadsAsItsPlainText) {
    // Megabytes of compressed text are parsed while they are inflated.
    const std::string text = ExportedText(size_t{6} << 20);
    const std::string packed = xfile_test::Compressed("xof 0303tzip0032", text);
    ASSERT_LT(text.size(), 8 * packed.size()); // as real files deflate
    Document plain, compressed;
    ASSERT_EQ(ParseBytes("xof 0303txt 0032" + text, plain), Status::Ok);
    Error e;
    ASSERT_EQ(ParseBytes(packed, compressed, &e), Status::Ok) << e.message;
    ExpectSameNumbers(plain, compressed);
}

TEST(XFileMszip, LongCompressedTextFaultsWhereItsPlainTextDoes) {
    // Where the pages already read are given back, too: the error's line and column count them.
    const std::string text = ExportedText(size_t{6} << 20);
    struct Case {
        size_t at; // the fault goes at the start of the line after this
        std::string fault;
    } cases[] = {{100, "1.5f;"},
                 {size_t{3} << 20, "1 2;"},
                 {size_t{11} << 19, "} 7;"},
                 {text.size() - 8, "\"no end"},
                 {text.size() - 4, ""}}; // cut short: the object's '}' missing
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault + " at " + std::to_string(c.at));
        const size_t line = text.find('\n', c.at) + 1;
        const std::string faulty = c.fault.empty()
                                       ? text.substr(0, c.at)
                                       : text.substr(0, line) + c.fault + text.substr(line);
        Document plain, compressed;
        Error expected, e;
        ASSERT_EQ(ParseBytes("xof 0303txt 0032" + faulty, plain, &expected), Status::ParseError);
        ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303tzip0032", faulty), compressed, &e),
                  Status::ParseError);
        EXPECT_EQ(e.offset, expected.offset);
        EXPECT_EQ(e.line, expected.line);
        EXPECT_EQ(e.column, expected.column);
        EXPECT_STREQ(e.message, expected.message);
        EXPECT_TRUE(compressed.nodes().empty());
    }
}

TEST(XFileMszip, AFaultInTheCompressedDataOutranksOneInTheTextBeforeIt) {
    // The text is parsed as it is inflated, yet a damaged block later on is what is reported,
    // as when the whole is inflated first (which a binary file's blocks are).
    std::string text = ExportedText(size_t{6} << 20);
    text.insert(text.find('\n', size_t{1} << 20) + 1, "1.5f;");
    std::string packed = xfile_test::Compressed("xof 0303tzip0032", text);
    std::string no_ck = packed;
    no_ck[BlockHolding(packed, size_t{5} << 20) + 4] = 'X';
    std::string short_total = packed;
    const uint32_t total = static_cast<uint32_t>(text.size() + 16 + 1);
    std::memcpy(short_total.data() + 16, &total, 4);
    for (const std::string& bytes : {no_ck, short_total, packed.substr(0, packed.size() / 2)}) {
        Document doc, whole;
        Error e, expected;
        ASSERT_EQ(ParseBytes(bytes, doc, &e), Status::ParseError);
        ASSERT_EQ(ParseBytes("xof 0303bzip0032" + bytes.substr(16), whole, &expected),
                  Status::ParseError);
        EXPECT_EQ(e.offset, expected.offset);
        EXPECT_EQ(e.line, 0u);
        EXPECT_STREQ(e.message, expected.message);
        EXPECT_TRUE(doc.nodes().empty());
    }
}

// Binary data of at least `bytes`: meshes of 1000 pseudo-random vertices (no coordinate a whole
// number) and 500 triangles, as a binary exporter writes them; with `fault`, its bytes put where
// the mesh after `fault_at` would start.
std::string LongBinary(size_t bytes, size_t fault_at = SIZE_MAX, std::string_view fault = {}) {
    BinaryWriter w(false);
    uint32_t seed = 99;
    const auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    while (w.str().size() < bytes) {
        if (w.str().size() >= fault_at) {
            w.Raw(fault);
            fault_at = SIZE_MAX;
        }
        std::vector<double> floats(3000);
        for (double& f : floats)
            f = static_cast<double>(next() % 100000) / 1000.0 + 0.0005;
        std::vector<uint32_t> faces = {500};
        for (int i = 0; i < 500; ++i)
            faces.insert(faces.end(), {3, next() % 1000, next() % 1000, next() % 1000});
        w.Name("Mesh").Open().Integers({1000}).Floats(floats).Integers(faces).Close();
    }
    return w.str();
}

TEST(XFileMszip, LongCompressedBinaryReadsAndFaultsAsItsPlainForm) {
    const std::string tokens = LongBinary(size_t{6} << 20);
    const std::string packed = xfile_test::Compressed("xof 0303bzip0032", tokens);
    ASSERT_LT(tokens.size(), 8 * packed.size()); // as real files deflate
    Document plain, compressed;
    ASSERT_EQ(ParseBytes("xof 0303bin 0032" + tokens, plain), Status::Ok);
    Error e;
    ASSERT_EQ(ParseBytes(packed, compressed, &e), Status::Ok) << e.message;
    ExpectSameNumbers(plain, compressed);
    // A token of its own, a list running past the end, the end inside an object.
    const std::string list_past_end("\x07\x00\xFF\xFF\xFF\x00", 6);
    for (const std::string& faulty :
         {LongBinary(size_t{6} << 20, size_t{3} << 20, std::string("\x63\x00", 2)),
          LongBinary(size_t{6} << 20, size_t{5} << 20, list_past_end),
          tokens.substr(0, tokens.size() - 1)}) {
        Error expected;
        ASSERT_EQ(ParseBytes("xof 0303bin 0032" + faulty, plain, &expected), Status::ParseError);
        ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303bzip0032", faulty), compressed, &e),
                  Status::ParseError);
        EXPECT_EQ(e.offset, expected.offset);
        EXPECT_EQ(e.line, 0u);
        EXPECT_STREQ(e.message, expected.message);
        EXPECT_TRUE(compressed.nodes().empty());
    }
}

TEST(XFileMszip, ALayoutFaultDeepInALongRunIsPlacedAsInThePlainForm) {
    // A vertex count one short, megabytes into a run read while the pages behind it are given
    // back: the reader stops at the last vertex, whose first coordinate stands where the face
    // count belongs.
    const std::string whole = ExportedText(size_t{6} << 20);
    const size_t count_start = whole.find('\n') + 1;
    const size_t count_end = whole.find(';', count_start);
    const std::string text =
        whole.substr(0, count_start) +
        std::to_string(std::stoul(whole.substr(count_start, count_end - count_start)) - 1) +
        whole.substr(count_end);
    const size_t last_vertex = text.rfind('\n', text.find(";;\n")) + 1;
    ASSERT_GT(last_vertex, size_t{3} << 20);
    Document plain, compressed;
    Error expected, e;
    ASSERT_EQ(ParseBytes("xof 0303txt 0032" + text, plain, &expected), Status::ParseError);
    EXPECT_EQ(expected.offset, 16 + last_vertex);
    EXPECT_STREQ(expected.message, "a count that is not a whole number");
    ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303tzip0032", text), compressed, &e),
              Status::ParseError);
    EXPECT_EQ(e.offset, expected.offset);
    EXPECT_EQ(e.line, expected.line);
    EXPECT_EQ(e.column, expected.column);
    EXPECT_STREQ(e.message, expected.message);

    // The same in binary, in a mesh of 999 vertices listing 1000.
    std::vector<double> floats(3000);
    for (size_t i = 0; i < floats.size(); ++i)
        floats[i] = static_cast<double>(i) + 0.25;
    const std::string bad = BinaryWriter()
                                .Name("Mesh")
                                .Open()
                                .Integers({999})
                                .Floats(floats)
                                .Integers({0})
                                .Close()
                                .str();
    const std::string tokens = LongBinary(size_t{6} << 20, size_t{3} << 20, bad);
    const size_t at = tokens.find(bad);
    ASSERT_NE(at, std::string::npos);
    // Name "Mesh", '{', the count's list, the float list's WORD and DWORD, 2997 floats.
    const size_t fault = 16 + at + 10 + 2 + 10 + 6 + 2997 * 4;
    ASSERT_EQ(ParseBytes("xof 0303bin 0032" + tokens, plain, &expected), Status::ParseError);
    EXPECT_EQ(expected.offset, fault) << expected.message;
    ASSERT_EQ(ParseBytes(xfile_test::Compressed("xof 0303bzip0032", tokens), compressed, &e),
              Status::ParseError);
    EXPECT_EQ(e.offset, fault) << e.message;
}

TEST(XFileMszip, HugeDeclaredSizeIsNotTrusted) {
    std::string bytes = xfile_test::Compressed("xof 0303tzip0032", "Frame {}");
    const uint32_t total = 0xFFFFFFF0u;
    std::memcpy(bytes.data() + 16, &total, 4);
    Document doc;
    Error e;
    EXPECT_EQ(ParseBytes(bytes, doc, &e), Status::ParseError);
}

// ---------------------------------------------------------------------------------------------
// Corpus

Document ParseCorpus(const char* name) {
    Document doc;
    Error e;
    const auto bytes = xfile_test::ReadFile(std::string(XOF_XCORPUS_DIR) + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(xfile::Parse(bytes, doc, &e), Status::Ok)
        << name << ": " << e.message << " at " << e.line << ":" << e.column;
    return doc;
}

const Node* FindFirst(const Document& doc, Template type) {
    for (const Node& n : doc.nodes())
        if (n.type == type && !n.is_reference) return &n;
    return nullptr;
}

TEST(XFileCorpus, TextCubeHoldsItsHierarchy) {
    Document doc = ParseCorpus("test_cube_text.x");
    std::vector<Template> top;
    for (const Node& n : doc.top_level())
        top.push_back(n.type);
    EXPECT_EQ(top, (std::vector<Template>{Template::AnimTicksPerSecond, Template::Material,
                                          Template::Frame}));
    const Node* mesh = FindFirst(doc, Template::Mesh);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(doc.name(*mesh), "Cube");
    EXPECT_EQ(doc.numbers(*mesh)[0], 24);
    const Node* list = FindFirst(doc, Template::MeshMaterialList);
    ASSERT_NE(list, nullptr);
    const Node& ref = *doc.children(*list).begin();
    EXPECT_EQ(doc.resolve(ref), &doc.nodes()[1]);
    const Node* skin = FindFirst(doc, Template::SkinWeights);
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(doc.string(*skin, 0), "Cube");
}

TEST(XFileCorpus, BinaryCompressedAndTextCubesAgree) {
    Document text = ParseCorpus("test_cube_text.x");
    Document binary = ParseCorpus("test_cube_binary.x");
    Document compressed = ParseCorpus("test_cube_compressed.x");
    ExpectSameTree(binary, compressed);
    // The text prints six decimals of the floats the binary file holds.
    ExpectSameTree(text, binary, 1e-6);
}

TEST(XFileCorpus, KwxportCubeWithVertexColors) {
    Document doc = ParseCorpus("kwxport_test_cubewithvcolors.x");
    std::vector<std::string> textures;
    for (const Node& n : doc.nodes())
        if (n.type == Template::TextureFilename) textures.emplace_back(doc.string(n, 0));
    ASSERT_EQ(textures.size(), 3u);
    EXPECT_EQ(textures[0],
              "C:\\\\code\\\\sourceforge\\\\kwxport\\\\trunkMerged\\\\test\\\\data\\\\bottom.tga");
    const Node* colors = FindFirst(doc, Template::MeshVertexColors);
    ASSERT_NE(colors, nullptr);
    const Node* mesh = FindFirst(doc, Template::Mesh);
    EXPECT_EQ(doc.numbers(*colors)[0], doc.numbers(*mesh)[0]);
    EXPECT_NE(FindFirst(doc, Template::DeclData), nullptr);
}

TEST(XFileCorpus, ExportedCubeWithTextureFileNameInOtherCase) {
    Document doc = ParseCorpus("test.x");
    const Node* tex = FindFirst(doc, Template::TextureFilename);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(doc.type_name(*tex), "TextureFileName");
    EXPECT_EQ(doc.string(*tex, 0), ".\\\\test.png");
}

TEST(XFileCorpus, SkinnedAnimatedCylinder) {
    Document doc = ParseCorpus("anim_test.x");
    const Node* mesh = FindFirst(doc, Template::Mesh);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(doc.name(*mesh), "pCylinderShape1");
    const Node* tex = FindFirst(doc, Template::TextureFilename);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(doc.string(*tex, 0), "");
    int skins = 0, keys = 0, resolved_refs = 0;
    for (const Node& n : doc.nodes()) {
        skins += n.type == Template::SkinWeights;
        keys += n.type == Template::AnimationKey;
        resolved_refs += n.is_reference && doc.resolve(n) != nullptr;
    }
    EXPECT_EQ(skins, 4);
    EXPECT_EQ(keys, 12);
    EXPECT_EQ(resolved_refs, 4);
}

} // namespace
