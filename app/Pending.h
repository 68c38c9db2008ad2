#pragma once
// TEMPORARY until helper branches merge.
#include <QWidget>
#include <string>
#include <string_view>
#include "compute/Workspace.h"
namespace morvik::core { inline std::string VoteSummary(const Workspace&) { return {}; } }
