// The help page: how to lay out a measurement file, the landmarks and dimensions, what the
// verdict means, the keys. Made from the program's own tables so that it cannot drift.
#pragma once

#include <string>
#include <string_view>

namespace morvik::core {

// One HTML page in the rich-text subset a text browser shows (h1-h3, p, table, ul, b, i,
// code), UTF-8: Czech for "cz", English for any other code.
std::string HelpHtml(std::string_view lang);

// Where the package installs the fill-in templates: ".../template.xlsx" and ".../template.csv".
std::string TemplatePath(std::string_view extension);

}  // namespace morvik::core
