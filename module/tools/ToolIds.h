// Resource ids of the NT Integration command: start-failure formats, each filled with the program name and
// the start's answer.
#pragma once

constexpr unsigned kIdsStartOutOfResources = 7; // answer 0
constexpr unsigned kIdsStartBadFormat = 8;      // answer 11
constexpr unsigned kIdsStartFileNotFound = 9;   // answer 2
constexpr unsigned kIdsStartPathNotFound = 10;  // answer 3
constexpr unsigned kIdsStartFailed = 11;        // any other answer below 32
// The request file could not be made or written; filled with the temporary folder.
constexpr unsigned kIdsRequestFileFailed = 57500;
// The upload the administrator asked for could not start: the registry names no integration utility.
constexpr unsigned kIdsUploadNotSetUp = 57511;
// A name that the request file cannot hold (a control character); filled with the name.
constexpr unsigned kIdsRequestNameRefused = 57512;
