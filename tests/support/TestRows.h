#pragma once

// Test data under tests/data: whole files, and tables read one row a line.

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace vanto::testing {

/// Contents of a file under tests/data, without its final line break.
inline std::string readTestData(const std::string& name) {
    std::string text = fileBytes(std::string(VANTO_TEST_DATA_DIR) + "/" + name);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

/// A field of a table row: a quoted text, or a bare word, where `none` stands for no value.
using Field = std::optional<std::string>;

/// The rows of a table under tests/data: one row a line, fields apart by blanks, a line that
/// starts with '#' a comment. A field in double quotes reads the escapes \xHH, \0, \t, \n, \r,
/// \" and \\, so that any bytes (malformed UTF-8 too) can be written.
inline std::vector<std::vector<Field>> readTestRows(const std::string& name) {
    std::ifstream file(std::string(VANTO_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    std::vector<std::vector<Field>> rows;
    for (std::string line; std::getline(file, line);) {
        std::vector<Field> row;
        for (std::size_t at = 0; at < line.size();) {
            if (line[at] == ' ') {
                ++at;
            } else if (line[at] == '#' && row.empty()) {
                break;
            } else if (line[at] != '"') {
                const auto end = std::min(line.find(' ', at), line.size());
                const std::string word = line.substr(at, end - at);
                row.push_back(word == "none" ? Field{} : Field{word});
                at = end;
            } else {
                std::string text;
                for (++at; at < line.size() && line[at] != '"'; ++at) {
                    if (line[at] != '\\' || ++at >= line.size()) {
                        text += line[at];
                    } else if (line[at] == 'x') {
                        text += static_cast<char>(std::stoi(line.substr(at + 1, 2), nullptr, 16));
                        at += 2;
                    } else {
                        const std::string from = "0tnr", to{'\0', '\t', '\n', '\r'};
                        const auto escape = from.find(line[at]);
                        text += escape == std::string::npos ? line[at] : to[escape];
                    }
                }
                EXPECT_LT(at, line.size()) << name << ": unterminated text in " << line;
                row.push_back(text);
                ++at;
            }
        }
        if (!row.empty()) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

}  // namespace vanto::testing
