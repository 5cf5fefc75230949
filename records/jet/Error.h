#pragma once
#include <stdexcept>
#include <string>

namespace zorvane::jet {

// The one error type of the engine. what() is one human sentence naming the
// file, the table or field, and the reason, e.g.
//   "oui.mdb: table \"oui\" has no field \"Cdoe\"."
// Text is UTF-8.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zorvane::jet
