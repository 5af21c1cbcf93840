// The user's home directory, looked up the same way by everything that needs it.
#pragma once

#include <string>

// HOME when it is set and not empty, otherwise the password database's entry for
// the real user; "" when neither gives one.
std::string homeDirectory();
