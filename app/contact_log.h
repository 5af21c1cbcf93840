// Where logged contacts go: the ADIF file in the user's vorda directory, and a
// logging program that takes ADIF records over UDP.
#pragma once

#include <string>

// Appends `record` to the file at `path`, `header` first when the file is new or
// empty. Only a regular file is written; a write that fails part way (a full disk)
// is taken back, so the file holds whole records only. "" when done, otherwise what
// went wrong, for the operator.
std::string contactLogAppend(const std::string& path, const std::string& header,
                             const std::string& record);

// Sends `text` as one UDP datagram to "host:port". "" when sent, otherwise why not.
std::string contactLogSend(const std::string& hostPort, const std::string& text);
