// The build step that turns ships.tsv and ports.txt into C++: run as the build runs it
// (cmake -P), on lists with awkward characters, and on lists that must stop the build.
#include "shipdata/ShipTables.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using testsupport::ProcessResult;
using testsupport::ReadWholeFile;
using testsupport::RunProcess;
using testsupport::TempDir;

const char* const kHeaderLine = "# name\tcall sign\tMMSI\tIMO\ttype\tlength (m)\tbeam (m)\tdraught (m)";

// Rows whose texts a careless converter would mangle: quotes, backslashes (also one right
// before a line end), characters that CMake lists treat specially, and "??" trigraph lookalikes.
std::vector<std::string> AwkwardShipRows() {
    return {
        "O'HARA \"BIG\" LADY\tC:\\X\t636000000\t9074729\tCargo, all ships of this type\t100\t20\t5",
        "A;B\t[X]\t\t\tTug\t30.5\t10\t4\\",
        "WHY NOT?\?=\t\\;\t372216000\t\tPASSENGER\t1\t2\t3",
        "SEMI;;COLON]\t\\\\\t\t\t\"\t12.75\t4.5\t1",
    };
}

std::string PlainShipRow(std::size_t i) {
    return "SHIP " + std::to_string(i) + "\tCS" + std::to_string(i % 1000) +
           "\t636000000\t9000000\tCargo, all ships of this type\t100\t20\t5";
}

// kShipCount rows: the awkward ones first, then plain ones.
std::vector<std::string> ShipRows(std::size_t count) {
    std::vector<std::string> rows = AwkwardShipRows();
    rows.resize(std::min(rows.size(), count));
    for (std::size_t i = rows.size(); i < count; ++i) {
        rows.push_back(PlainShipRow(i));
    }
    return rows;
}

std::vector<std::string> PortNames(std::size_t count) {
    std::vector<std::string> names = {"NEW  PORT", "CHRISTMAS IS.", "NEOMUDANIA(GREECE)", "ST. JOHN'S \"X\" \\"};
    names.resize(std::min(names.size(), count));
    for (std::size_t i = names.size(); i < count; ++i) {
        names.push_back("PORT " + std::to_string(i));
    }
    return names;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& lineEnd) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + lineEnd;
    }
    return text;
}

ProcessResult RunGenerator(const std::string& ships, const std::string& ports, const std::string& output) {
    return RunProcess({KVL_CMAKE_COMMAND, "-DSHIPS_FILE=" + ships, "-DPORTS_FILE=" + ports,
                       "-DHEADER_FILE=" KVL_SHIP_TABLES_HEADER, "-DOUTPUT_FILE=" + output, "-P",
                       KVL_SHIP_TABLES_SCRIPT},
                      {}, std::chrono::seconds(60));
}

// Prints the compiled tables back as the data files' text, one row or name a line.
const char* const kDumpProgram = R"(#include "shipdata/ShipTables.h"
#include <cstdio>
static void Put(const wchar_t* text) {
    for (; *text != L'\0'; ++text) std::putchar(static_cast<char>(*text));
}
int main() {
    for (const ShipRecord& row : g_ships) {
        const wchar_t* fields[] = {row.name, row.callSign, row.mmsi, row.imo,
                                   row.type, row.length, row.beam, row.draught};
        for (int i = 0; i < 8; ++i) {
            if (i > 0) std::putchar('\t');
            Put(fields[i]);
        }
        std::putchar('\n');
    }
    for (const wchar_t* port : g_ports) {
        Put(port);
        std::putchar('\n');
    }
}
)";

struct RoundTripCase {
    std::string name;
    std::string lineEnd;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class GeneratedTablesRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(GeneratedTablesRoundTrip, CompiledTablesHoldTheTextsExactly) {
    const std::string& lineEnd = GetParam().lineEnd;
    TempDir dir;
    const std::vector<std::string> rows = ShipRows(kShipCount);
    const std::vector<std::string> ports = PortNames(kPortCount);

    // Comment and blank lines are not rows.
    std::vector<std::string> shipLines = {kHeaderLine, ""};
    shipLines.insert(shipLines.end(), rows.begin(), rows.end());
    shipLines.insert(shipLines.begin() + 4, "# a comment between rows");
    WriteText(dir.File("ships.tsv"), JoinLines(shipLines, lineEnd));
    WriteText(dir.File("ports.txt"), JoinLines(ports, lineEnd));

    const ProcessResult generated = RunGenerator(dir.File("ships.tsv"), dir.File("ports.txt"), dir.File("tables.cpp"));
    ASSERT_EQ(generated.exitCode, 0) << generated.out << generated.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("tables.cpp.tmp")));

    WriteText(dir.File("dump.cpp"), kDumpProgram);
    const ProcessResult compiled =
        RunProcess({KVL_CXX_COMPILER, "-std=c++20", "-Wall", "-Wextra", "-Werror", "-I", KVL_SOURCE_ROOT,
                    dir.File("tables.cpp"), dir.File("dump.cpp"), "-o", dir.File("dump")},
                   {}, std::chrono::seconds(180));
    ASSERT_EQ(compiled.exitCode, 0) << compiled.out << compiled.err;

    const ProcessResult dumped = RunProcess({dir.File("dump")});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.err;
    EXPECT_EQ(dumped.out, JoinLines(rows, "\n") + JoinLines(ports, "\n"));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, GeneratedTablesRoundTrip,
                         testing::Values(RoundTripCase{"LineFeed", "\n"}, RoundTripCase{"CarriageReturnLineFeed", "\r\n"}),
                         [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

struct FailureCase {
    std::string name;
    std::function<void(std::vector<std::string>& shipLines, std::vector<std::string>& ports)> spoil;
    std::string expectedMessage;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class GeneratorRefusesBadLists : public testing::TestWithParam<FailureCase> {};

TEST_P(GeneratorRefusesBadLists, FailsWithAClearMessageAndLeavesNoTable) {
    TempDir dir;
    std::vector<std::string> shipLines = {kHeaderLine};
    const std::vector<std::string> rows = ShipRows(kShipCount);
    shipLines.insert(shipLines.end(), rows.begin(), rows.end());
    std::vector<std::string> ports = PortNames(kPortCount);
    GetParam().spoil(shipLines, ports);
    WriteText(dir.File("ships.tsv"), JoinLines(shipLines, "\n"));
    WriteText(dir.File("ports.txt"), JoinLines(ports, "\n"));
    // A table from an earlier, good run must not survive a failed one.
    WriteText(dir.File("tables.cpp"), "// older table\n");

    const ProcessResult result = RunGenerator(dir.File("ships.tsv"), dir.File("ports.txt"), dir.File("tables.cpp"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find(GetParam().expectedMessage), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("tables.cpp")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("tables.cpp.tmp")));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, GeneratorRefusesBadLists,
    testing::Values(
        FailureCase{"OneShipRowTooFew", [](auto& ships, auto&) { ships.pop_back(); },
                    "holds 4298 ship rows, but kShipCount"},
        FailureCase{"OneShipRowTooMany", [](auto& ships, auto&) { ships.push_back(PlainShipRow(9999)); },
                    "holds 4300 ship rows, but kShipCount"},
        FailureCase{"OnePortTooFew", [](auto&, auto& ports) { ports.pop_back(); },
                    "holds 991 port names, but kPortCount"},
        FailureCase{"OnePortTooMany", [](auto&, auto& ports) { ports.push_back("ZEEBRUGGE"); },
                    "holds 993 port names, but kPortCount"},
        FailureCase{"RowMissingAColumn",
                    [](auto& ships, auto&) { ships[5] = "NAME\tCS\t636000000\t9000000\tTug\t30\t10"; },
                    "ships.tsv:6: a ship row needs 8 tab-separated columns, this one has 7"},
        FailureCase{"RowWithAnExtraColumn", [](auto& ships, auto&) { ships[7] += "\textra"; },
                    "ships.tsv:8: a ship row needs 8 tab-separated columns, this one has 9"},
        FailureCase{"ControlCharacterInAName", [](auto& ships, auto&) { ships[3].insert(2, 1, '\x01'); },
                    "contains a control character"},
        FailureCase{"ControlCharacterInAPort", [](auto&, auto& ports) { ports[10] += '\x1b'; },
                    "contains a control character"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(GeneratorRefusesBadLists, MissingShipListIsNamed) {
    TempDir dir;
    WriteText(dir.File("ports.txt"), JoinLines(PortNames(kPortCount), "\n"));
    const ProcessResult result = RunGenerator(dir.File("absent.tsv"), dir.File("ports.txt"), dir.File("tables.cpp"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("cannot read " + dir.File("absent.tsv")), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("tables.cpp")));
}

}  // namespace
