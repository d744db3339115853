// Resource ids the module core names.
#pragma once

// Tools menu command: menu text and status line (also the tool button record's text ids).
constexpr unsigned kIdsToolMenuText = 4;
constexpr unsigned kIdsToolStatusText = 5;
// The tool button's icon.
constexpr unsigned kIdiToolButton = 134;
// Start-up: the locale library could not be initialised / is of another version; the caption of both.
constexpr unsigned kIdsLocaleInitFailed = 57345;
constexpr unsigned kIdsModuleCaption = 57346;
constexpr unsigned kIdsLocaleVersion = 57347;
