#pragma once

#include <cstdio>

/** Returns true when stream is an interactive terminal, where a line can be redrawn. */
bool isTerminal(std::FILE *stream);
