#pragma once
// A test with a fresh table folder of its own, removed afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TableDirFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lanzo-tables-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    // Writes a table file under its on-disk (UTF-8) name.
    void write(const std::string &utf8Name, const std::string &bytes)
    {
        std::ofstream(m_dir + "/" + utf8Name, std::ios::binary) << bytes;
    }
    std::string m_dir;
};
