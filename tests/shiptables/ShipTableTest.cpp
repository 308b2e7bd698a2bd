// The built-in ship list: row count, the form of every column, the type mix and the
// plausibility of the dimensions that Random Ship turns into the antenna offsets.
#include "shipdata/ShipTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

// The tables hold ASCII only; anything else becomes DEL so that the character checks fail.
std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        out.push_back(*text >= 0x20 && *text < 0x7f ? static_cast<char>(*text) : '\x7f');
    }
    return out;
}

bool AllOf(const std::string& text, const std::string& allowed) {
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return allowed.find(c) != std::string::npos; });
}

const std::string kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kDigits = "0123456789";

bool IsDigits(const std::string& text, std::size_t count) {
    return text.size() == count && AllOf(text, kDigits);
}

// "45", "288.9", "14.37": digits with at most one decimal point between digits.
std::optional<double> ParseDecimal(const std::string& text) {
    const auto point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "1" : text.substr(point + 1);
    if (whole.empty() || fraction.empty() || !AllOf(whole, kDigits) || !AllOf(fraction, kDigits)) {
        return std::nullopt;
    }
    return std::stod(text);
}

std::string RowTrace(std::size_t index) {
    return "row " + std::to_string(index) + " (" + Narrow(g_ships[index].name) + ")";
}

// --- flags ------------------------------------------------------------------------------------

std::vector<std::string> Block(const std::string& lead, char from, char to) {
    std::vector<std::string> out;
    for (char c = from; c <= to; ++c) {
        out.push_back(lead + c);
    }
    return out;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct Flag {
    const char* country;
    std::vector<int> mids;                      // maritime identification digits
    std::vector<std::string> callSignPrefixes;  // ITU call sign series of the country
};

// Real MIDs (ITU MARS) and call sign series (ITU Radio Regulations, Appendix 42) of the
// flags a merchant fleet is plausibly registered under.
const std::vector<Flag>& Flags() {
    static const std::vector<Flag> flags = {
        {"Panama", {351, 352, 353, 354, 355, 356, 357, 370, 371, 372, 373, 374},
         {"3E", "3F", "H3", "H8", "H9", "HO", "HP"}},
        {"Liberia", {636, 637}, {"5L", "5M", "6Z", "A8", "D5", "EL"}},
        {"Marshall Islands", {538}, {"V7"}},
        {"Malta", {215, 229, 248, 249, 256}, {"9H"}},
        {"Hong Kong", {477}, {"VR"}},
        {"Singapore", {563, 564, 565, 566}, {"9V", "S6"}},
        {"Greece", {237, 239, 240, 241}, {"J4", "SV", "SW", "SX", "SY", "SZ"}},
        {"China", {412, 413, 414}, {"B"}},
        {"Bahamas", {308, 309, 311}, {"C6"}},
        {"Cyprus", {209, 210, 212}, {"5B", "C4", "H2", "P3"}},
        {"Norway", {257, 258, 259}, Join({Block("L", 'A', 'N'), {"3Y"}})},
        {"Denmark", {219, 220}, Join({Block("O", 'U', 'Z'), {"5P", "5Q"}})},
        {"Netherlands", {244, 245, 246}, Block("P", 'A', 'I')},
        {"Germany", {211, 218}, Block("D", 'A', 'R')},
        {"Japan", {431, 432}, Join({Block("J", 'A', 'S'), Block("7", 'J', 'N'), Block("8", 'J', 'N')})},
        {"Korea", {440, 441}, {"D7", "D8", "D9", "DS", "DT", "HL", "6K", "6L", "6M", "6N"}},
        {"Malaysia", {533}, {"9M", "9W"}},
        {"Indonesia", {525},
         Join({Block("P", 'K', 'O'), Block("Y", 'B', 'H'), Block("7", 'A', 'I'), Block("8", 'A', 'I')})},
        {"India", {419}, Join({Block("A", 'T', 'W'), Block("V", 'T', 'W'), Block("8", 'T', 'Y')})},
        {"Russia", {273}, Join({{"R"}, Block("U", 'A', 'I')})},
        {"United Kingdom", {232, 233, 234, 235}, {"G", "M", "2"}},
        {"Italy", {247}, {"I"}},
        {"Turkey", {271}, {"TA", "TB", "TC", "YM"}},
        {"Antigua and Barbuda", {304, 305}, {"V2"}},
        {"Portugal and Madeira", {255, 263}, Block("C", 'Q', 'U')},
        {"Saint Vincent", {375, 376, 377}, {"J8"}},
        {"Belize", {312}, {"V3"}},
        {"Belgium", {205}, Block("O", 'N', 'T')},
        {"France", {226, 227, 228}, {"F"}},
        {"Spain", {224, 225}, Join({Block("E", 'A', 'H'), {"AM", "AN", "AO"}})},
        {"United States", {338, 366, 367, 368, 369}, Join({{"K", "N", "W"}, Block("A", 'A', 'L')})},
        {"Viet Nam", {574}, {"3W", "XV"}},
        {"Philippines", {548}, Join({Block("D", 'U', 'Z'), Block("4", 'D', 'I')})},
        {"Thailand", {567}, {"E2", "HS"}},
        {"Saudi Arabia", {403}, {"HZ", "7Z", "8Z"}},
        {"United Arab Emirates", {470, 471}, {"A6"}},
        {"Sweden", {265, 266}, Join({Block("S", 'A', 'M'), {"7S", "8S"}})},
        {"Finland", {230}, Block("O", 'F', 'J')},
        {"Poland", {261}, Join({Block("S", 'N', 'R'), {"3Z", "HF"}})},
        {"Croatia", {238}, {"9A"}},
        {"Tuvalu", {572}, {"T2"}},
        {"Comoros", {616}, {"D6"}},
        {"Sierra Leone", {667}, {"9L"}},
        {"Togo", {671}, {"5V"}},
        {"Tanzania", {674, 677}, {"5H", "5I"}},
        {"Cook Islands", {518}, {"E5"}},
        {"Palau", {511}, {"T8"}},
        {"Barbados", {314}, {"8P"}},
        {"Jamaica", {339}, {"6Y"}},
        {"Egypt", {622}, {"SS", "SU", "6A", "6B"}},
        {"Iran", {422}, {"EP", "EQ", "9B", "9C", "9D"}},
        {"Brazil", {710}, Join({Block("P", 'P', 'Y'), Block("Z", 'V', 'Z')})},
        {"Bermuda, Cayman Islands, Gibraltar", {310, 319, 236}, {"VP", "VQ", "Z"}},
        {"Luxembourg", {253}, {"LX"}},
        {"Switzerland", {269}, {"HB", "HE"}},
        {"Kiribati", {529}, {"T3"}},
        {"Vanuatu", {576, 577}, {"YJ"}},
    };
    return flags;
}

const Flag* FlagOfMid(int mid) {
    for (const Flag& flag : Flags()) {
        if (std::find(flag.mids.begin(), flag.mids.end(), mid) != flag.mids.end()) {
            return &flag;
        }
    }
    return nullptr;
}

// --- types ------------------------------------------------------------------------------------

struct TypeCase {
    std::string name;  // test name
    const char* text;
    std::size_t count;
    double minLengthM, maxLengthM;
    double minBeamM, maxBeamM;
    double minRatio, maxRatio;  // length to beam
};

const std::vector<TypeCase>& TypeCases() {
    static const std::vector<TypeCase> cases = {
        {"CargoAll", "Cargo, all ships of this type", 2766, 60, 400, 8, 65, 4.5, 9},
        {"TankerAll", "Tanker, all ships of this type", 1106, 60, 400, 8, 65, 4.5, 9},
        {"CargoNoInformation", "Cargo, No additional information", 266, 60, 400, 8, 65, 4.5, 9},
        {"Tug", "Tug", 8, 15, 59.99, 6, 16, 2, 5},
        {"Passenger", "PASSENGER", 86, 20, 400, 5, 50, 3.5, 10},
        {"ContainerCarrier", "CONTAINER CARRIER", 23, 100, 400, 15, 62, 5, 9.5},
        {"MultiPurpose", "MULTI PURPOSE", 19, 60, 250, 10, 40, 4.5, 8},
        {"CargoPassenger", "Cargo-Passenger vessel", 9, 40, 250, 8, 40, 4, 8.5},
        {"Obo", "OBO", 5, 150, 350, 25, 60, 4.5, 8},
        {"GenCargoHeavyLift", "GEN.CARGO-HEAVY LIFT", 3, 80, 220, 14, 45, 4, 8},
        {"OreOilCarrier", "ORE/OIL CARRIER", 2, 200, 360, 30, 65, 4.5, 8},
        {"CombiTrader", "COMBI TRADER", 1, 60, 200, 10, 35, 4.5, 8},
        {"CommercialYacht", "COMMERCIAL YACHT", 1, 20, 120, 5, 20, 3.5, 8},
        {"Dredger", "DREDGER AND UNDERWATER OPERATIONS", 1, 30, 200, 8, 40, 3, 7},
        {"HeavyLiftCarrier", "HEAVY LIFT CARRIER", 1, 100, 250, 25, 65, 3.5, 7},
        {"Mrt", "MRT", 1, 60, 250, 10, 45, 4, 8},
        {"Navy", "NAVY", 1, 30, 250, 6, 35, 4, 10},
    };
    return cases;
}

// --- whole-table tests ------------------------------------------------------------------------

TEST(ShipTable, HoldsTheDeclaredNumberOfRowsWithEveryTextSet) {
    EXPECT_EQ(kShipCount, 4299u);
    EXPECT_EQ(std::size(g_ships), kShipCount);
    for (std::size_t i = 0; i < kShipCount; ++i) {
        const ShipRecord& row = g_ships[i];
        const std::array<const wchar_t*, 8> fields = {row.name, row.callSign, row.mmsi, row.imo,
                                                      row.type, row.length, row.beam, row.draught};
        for (const wchar_t* field : fields) {
            ASSERT_NE(field, nullptr) << "row " << i;
        }
    }
}

TEST(ShipTable, NamesAreUpperCaseAndFitTheNameField) {
    const std::string allowed = kUpper + kDigits + " '.?-";
    for (std::size_t i = 0; i < kShipCount; ++i) {
        SCOPED_TRACE(RowTrace(i));
        const std::string name = Narrow(g_ships[i].name);
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 29u);
        EXPECT_TRUE(AllOf(name, allowed)) << name;
        EXPECT_NE(name.front(), ' ');
        EXPECT_NE(name.back(), ' ');
        EXPECT_EQ(name.find("  "), std::string::npos);
    }
}

TEST(ShipTable, NamesRepeatOnlyRarely) {
    std::map<std::string, int> seen;
    for (const ShipRecord& row : g_ships) {
        ++seen[Narrow(row.name)];
    }
    EXPECT_GE(seen.size(), kShipCount * 95 / 100);
    for (const auto& [name, count] : seen) {
        EXPECT_LE(count, 5) << name;
    }
}

TEST(ShipTable, CallSignsAreShortCapitalsAndDigits) {
    for (std::size_t i = 0; i < kShipCount; ++i) {
        SCOPED_TRACE(RowTrace(i));
        const std::string callSign = Narrow(g_ships[i].callSign);
        EXPECT_GE(callSign.size(), 3u);
        EXPECT_LE(callSign.size(), 8u);
        EXPECT_TRUE(AllOf(callSign, kUpper + kDigits)) << callSign;
    }
}

TEST(ShipTable, MmsiIsNineDigitsOfAKnownFlagOrEmptyInTwoRows) {
    std::size_t empty = 0;
    for (std::size_t i = 0; i < kShipCount; ++i) {
        SCOPED_TRACE(RowTrace(i));
        const std::string mmsi = Narrow(g_ships[i].mmsi);
        if (mmsi.empty()) {
            ++empty;
            continue;
        }
        ASSERT_TRUE(IsDigits(mmsi, 9)) << mmsi;
        EXPECT_NE(FlagOfMid(std::stoi(mmsi.substr(0, 3))), nullptr) << "unknown MID in " << mmsi;
    }
    EXPECT_EQ(empty, 2u);
}

TEST(ShipTable, CallSignBelongsToTheSeriesOfTheMmsiFlag) {
    for (std::size_t i = 0; i < kShipCount; ++i) {
        const std::string mmsi = Narrow(g_ships[i].mmsi);
        if (!IsDigits(mmsi, 9)) {
            continue;
        }
        const Flag* flag = FlagOfMid(std::stoi(mmsi.substr(0, 3)));
        if (flag == nullptr) {
            continue;  // reported by the MMSI test
        }
        const std::string callSign = Narrow(g_ships[i].callSign);
        const bool inSeries = std::any_of(
            flag->callSignPrefixes.begin(), flag->callSignPrefixes.end(),
            [&](const std::string& prefix) { return callSign.rfind(prefix, 0) == 0; });
        EXPECT_TRUE(inSeries) << RowTrace(i) << ": call sign " << callSign << " is not a series of "
                              << flag->country << " (MMSI " << mmsi << ")";
    }
}

TEST(ShipTable, MostMmsisEndInZerosAsShipStationsDo) {
    std::size_t roundNumbers = 0;
    std::size_t present = 0;
    for (const ShipRecord& row : g_ships) {
        const std::string mmsi = Narrow(row.mmsi);
        if (mmsi.size() == 9) {
            ++present;
            roundNumbers += mmsi.substr(7) == "00" ? 1 : 0;
        }
    }
    EXPECT_GE(roundNumbers, present * 3 / 4);
}

// The IMO check digit, worked out here from the definition: weights 7 down to 2.
int ImoCheckDigit(const std::string& imo) {
    int sum = 0;
    for (int i = 0; i < 6; ++i) {
        sum += (imo[static_cast<std::size_t>(i)] - '0') * (7 - i);
    }
    return sum % 10;
}

TEST(ShipTable, ImoNumbersCarryTheirCheckDigitOrAreEmptyIn23Rows) {
    std::size_t empty = 0;
    for (std::size_t i = 0; i < kShipCount; ++i) {
        SCOPED_TRACE(RowTrace(i));
        const std::string imo = Narrow(g_ships[i].imo);
        if (imo.empty()) {
            ++empty;
            continue;
        }
        ASSERT_TRUE(IsDigits(imo, 7)) << imo;
        EXPECT_GE(imo.front(), '5') << imo;
        EXPECT_EQ(imo.back() - '0', ImoCheckDigit(imo)) << imo;
    }
    EXPECT_EQ(empty, 23u);
}

TEST(ShipTable, ImoCheckDigitRuleRejectsAWrongDigit) {
    // Guards the rule above against passing everything: known-valid numbers pass, and
    // changing the last digit fails.
    for (const std::string imo : {"9074729", "8814275", "9176187"}) {
        EXPECT_EQ(imo.back() - '0', ImoCheckDigit(imo)) << imo;
        std::string wrong = imo;
        wrong.back() = static_cast<char>('0' + (imo.back() - '0' + 1) % 10);
        EXPECT_NE(wrong.back() - '0', ImoCheckDigit(wrong)) << wrong;
    }
}

TEST(ShipTable, MmsiAndImoNumbersAreUnique) {
    std::set<std::string> mmsis;
    std::set<std::string> imos;
    for (std::size_t i = 0; i < kShipCount; ++i) {
        const std::string mmsi = Narrow(g_ships[i].mmsi);
        const std::string imo = Narrow(g_ships[i].imo);
        EXPECT_TRUE(mmsi.empty() || mmsis.insert(mmsi).second) << RowTrace(i) << " repeats " << mmsi;
        EXPECT_TRUE(imo.empty() || imos.insert(imo).second) << RowTrace(i) << " repeats " << imo;
    }
}

TEST(ShipTable, EveryTypeTextIsAKnownOneAndTheCountsAddUp) {
    std::size_t total = 0;
    for (const TypeCase& c : TypeCases()) {
        total += c.count;
    }
    EXPECT_EQ(total, kShipCount);
    for (std::size_t i = 0; i < kShipCount; ++i) {
        const std::string type = Narrow(g_ships[i].type);
        const bool known = std::any_of(TypeCases().begin(), TypeCases().end(),
                                       [&](const TypeCase& c) { return type == c.text; });
        EXPECT_TRUE(known) << RowTrace(i) << ": unexpected type \"" << type << "\"";
    }
}

TEST(ShipTable, RareTypesAreSpreadThroughTheTable) {
    // A shuffled table has no long runs of one rare type.
    const std::set<std::string> common = {"Cargo, all ships of this type", "Tanker, all ships of this type"};
    std::size_t run = 0;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < kShipCount; ++i) {
        const std::string type = Narrow(g_ships[i].type);
        run = (i > 0 && type == Narrow(g_ships[i - 1].type)) ? run + 1 : 1;
        if (common.count(type) == 0) {
            longest = std::max(longest, run);
        }
    }
    EXPECT_LE(longest, 5u);
}

TEST(ShipTable, DimensionsAreDecimalTextsThatFitTheAisDimensionFields) {
    for (std::size_t i = 0; i < kShipCount; ++i) {
        SCOPED_TRACE(RowTrace(i));
        const std::optional<double> length = ParseDecimal(Narrow(g_ships[i].length));
        const std::optional<double> beam = ParseDecimal(Narrow(g_ships[i].beam));
        const std::optional<double> draught = ParseDecimal(Narrow(g_ships[i].draught));
        ASSERT_TRUE(length && beam && draught)
            << Narrow(g_ships[i].length) << " / " << Narrow(g_ships[i].beam) << " / "
            << Narrow(g_ships[i].draught);
        EXPECT_GT(*draught, 0.0);
        EXPECT_LT(*draught, *beam);
        // Random Ship places the antenna amidships: halves of the truncated float values
        // go into the 9-bit bow/stern and 6-bit port/starboard fields.
        const int halfLength = static_cast<int>(static_cast<float>(*length)) / 2;
        const int halfBeam = static_cast<int>(static_cast<float>(*beam)) / 2;
        EXPECT_GE(halfLength, 1);
        EXPECT_LE(halfLength, 511);
        EXPECT_GE(halfBeam, 1);
        EXPECT_LE(halfBeam, 63);
    }
}

TEST(ShipTable, DecimalParserRejectsMalformedTexts) {
    for (const std::string bad : {"", ".", "12.", ".5", "1.2.3", "-4", " 12", "12m", "1e3", "nan"}) {
        EXPECT_FALSE(ParseDecimal(bad).has_value()) << '"' << bad << '"';
    }
    EXPECT_DOUBLE_EQ(*ParseDecimal("288.9"), 288.9);
    EXPECT_DOUBLE_EQ(*ParseDecimal("45"), 45.0);
}

// --- per type ---------------------------------------------------------------------------------

void PrintTo(const TypeCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ShipTypeTest : public testing::TestWithParam<TypeCase> {};

TEST_P(ShipTypeTest, HasItsRowCount) {
    const TypeCase& c = GetParam();
    const auto count = std::count_if(std::begin(g_ships), std::end(g_ships),
                                     [&](const ShipRecord& row) { return Narrow(row.type) == c.text; });
    EXPECT_EQ(static_cast<std::size_t>(count), c.count);
}

TEST_P(ShipTypeTest, DimensionsArePlausibleForTheType) {
    const TypeCase& c = GetParam();
    for (std::size_t i = 0; i < kShipCount; ++i) {
        if (Narrow(g_ships[i].type) != c.text) {
            continue;
        }
        SCOPED_TRACE(RowTrace(i));
        const std::optional<double> length = ParseDecimal(Narrow(g_ships[i].length));
        const std::optional<double> beam = ParseDecimal(Narrow(g_ships[i].beam));
        ASSERT_TRUE(length && beam);
        EXPECT_GE(*length, c.minLengthM);
        EXPECT_LE(*length, c.maxLengthM);
        EXPECT_GE(*beam, c.minBeamM);
        EXPECT_LE(*beam, c.maxBeamM);
        EXPECT_GE(*length / *beam, c.minRatio);
        EXPECT_LE(*length / *beam, c.maxRatio);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, ShipTypeTest, testing::ValuesIn(TypeCases()),
                         [](const testing::TestParamInfo<TypeCase>& info) { return info.param.name; });

// --- the build step on the real data ----------------------------------------------------------

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

TEST(ShipTable, MatchesTheDataFileFieldForField) {
    std::ifstream in(KVL_SHIPS_TSV);
    ASSERT_TRUE(in) << KVL_SHIPS_TSV;
    std::size_t index = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        ASSERT_LT(index, kShipCount) << "more rows in the file than in the table";
        const std::vector<std::string> fields = SplitTabs(line);
        ASSERT_EQ(fields.size(), 8u) << line;
        const ShipRecord& row = g_ships[index];
        const std::array<const wchar_t*, 8> built = {row.name, row.callSign, row.mmsi, row.imo,
                                                     row.type, row.length, row.beam, row.draught};
        for (std::size_t column = 0; column < 8; ++column) {
            EXPECT_EQ(Narrow(built[column]), fields[column]) << "row " << index << " column " << column + 1;
        }
        ++index;
    }
    EXPECT_EQ(index, kShipCount);
}

}  // namespace
