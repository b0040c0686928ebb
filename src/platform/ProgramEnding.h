#pragma once

#include <exception>

namespace platform {

// Thrown out of a running operation when the user has closed a window: the program ends
// at once, so the operation unwinds (closing its connections) without further boxes.
class ProgramEnding : public std::exception {
public:
    const char *what() const noexcept override { return "The program is ending."; }
};

} // namespace platform
