#pragma once

#include <string>

// What --help and --version print.
std::string helptext();
std::string versiontext();
