// Statement lists kept as data: one statement a line, '#' starts a comment
// line. A placeholder {Table.Column} stands for the first non-null value of
// that column in the package under test, {Table.Column@N} for the N-th (the
// last when there are fewer); a package without it gets the text "none".
#pragma once

#include <functional>
#include <string>
#include <vector>

struct StatementTemplate {
  std::string text;
  std::string origin;  // file:line, for messages
};

std::vector<StatementTemplate> load_statement_templates(const std::string& directory);

// Looks up the values of one column, in row order, nulls left out.
using ColumnValues =
    std::function<std::vector<std::string>(const std::string& table, const std::string& column)>;

std::string expand_placeholders(const std::string& text, const ColumnValues& values);
