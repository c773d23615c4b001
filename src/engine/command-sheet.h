#pragma once
// The large-print sheet of commands: a self-contained HTML page (large type,
// high contrast, real tables with headers, so a screen reader reads it well).

#include <string>

namespace orvo {

std::string commandSheetHtml();

// The sheet's file in the data folder.
inline const char* commandSheetFile = "commands.html";

}  // namespace orvo
