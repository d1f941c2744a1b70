// tamselplay --help.
#pragma once

#include <string>

std::string player_help_text();
