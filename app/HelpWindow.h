// The help window: the help page in a text browser beside the main window.
#pragma once

#include <string_view>

class QWidget;

namespace morvik::app {

// Shows HelpHtml(lang) in a window of its own that does not block the main one. A second call
// brings the same window (object name "HelpWindow") to the front with the page in `lang`.
void ShowHelp(QWidget* parent, std::string_view lang);

}  // namespace morvik::app
