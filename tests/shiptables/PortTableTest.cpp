// The built-in port list from which Random Ship picks the ports of destination and origin.
#include "shipdata/ShipTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <map>
#include <string>

namespace {

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        out.push_back(*text >= 0x20 && *text < 0x7f ? static_cast<char>(*text) : '\x7f');
    }
    return out;
}

bool Contains(const std::string& name) {
    return std::any_of(std::begin(g_ports), std::end(g_ports),
                       [&](const wchar_t* port) { return Narrow(port) == name; });
}

TEST(PortTable, HoldsTheDeclaredNumberOfNames) {
    EXPECT_EQ(kPortCount, 992u);
    EXPECT_EQ(std::size(g_ports), kPortCount);
    for (std::size_t i = 0; i < kPortCount; ++i) {
        ASSERT_NE(g_ports[i], nullptr) << "port " << i;
    }
}

TEST(PortTable, NamesAreUpperCaseAndFitTheDestinationField) {
    const std::string allowed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ .()'-";
    for (std::size_t i = 0; i < kPortCount; ++i) {
        const std::string name = Narrow(g_ports[i]);
        SCOPED_TRACE("port " + std::to_string(i) + " \"" + name + "\"");
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 19u);
        EXPECT_TRUE(std::all_of(name.begin(), name.end(),
                                [&](char c) { return allowed.find(c) != std::string::npos; }));
        EXPECT_NE(name.front(), ' ');
        EXPECT_NE(name.back(), ' ');
        EXPECT_EQ(name.find("   "), std::string::npos);
    }
}

TEST(PortTable, IsStrictlyAscendingInByteOrder) {
    for (std::size_t i = 1; i < kPortCount; ++i) {
        EXPECT_LT(Narrow(g_ports[i - 1]), Narrow(g_ports[i])) << "at port " << i;
        EXPECT_LT(std::wcscmp(g_ports[i - 1], g_ports[i]), 0) << "at port " << i;
    }
}

TEST(PortTable, RunsFromAabenraaToNewPort) {
    EXPECT_EQ(Narrow(g_ports[0]), "AABENRAA");
    EXPECT_EQ(Narrow(g_ports[kPortCount - 1]), "NEW  PORT");
}

TEST(PortTable, KeepsNamesExactlyAsWritten) {
    std::size_t doubledBlanks = 0;
    for (const wchar_t* port : g_ports) {
        doubledBlanks += Narrow(port).find("  ") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(doubledBlanks, 24u);
    for (const std::string name : {"ABU  DHABI", "CAPE  TOWN", "CHRISTMAS IS.", "NEOMUDANIA(GREECE)"}) {
        EXPECT_TRUE(Contains(name)) << name;
    }
}

TEST(PortTable, NoPortIsListedTwiceUnderDifferentSpacing) {
    std::map<std::string, std::string> byCollapsedName;
    for (const wchar_t* port : g_ports) {
        const std::string name = Narrow(port);
        std::string collapsed;
        for (char c : name) {
            if (!(c == ' ' && !collapsed.empty() && collapsed.back() == ' ')) {
                collapsed.push_back(c);
            }
        }
        const auto [it, inserted] = byCollapsedName.emplace(collapsed, name);
        EXPECT_TRUE(inserted) << "\"" << name << "\" and \"" << it->second << "\"";
    }
}

TEST(PortTable, MatchesTheDataFileLineForLine) {
    std::ifstream in(KVL_PORTS_TXT);
    ASSERT_TRUE(in) << KVL_PORTS_TXT;
    std::size_t index = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        ASSERT_LT(index, kPortCount) << "more names in the file than in the table";
        EXPECT_EQ(Narrow(g_ports[index]), line) << "port " << index;
        ++index;
    }
    EXPECT_EQ(index, kPortCount);
}

}  // namespace
