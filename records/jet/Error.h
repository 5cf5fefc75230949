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

// Throws the Error "PATH: REASON." (`path` may also be another label).
[[noreturn]] inline void fail(const std::string& path, const std::string& reason) {
    throw Error(path + ": " + reason + ".");
}

// Another program changed the file while it was being read, so the pages read
// so far no longer fit together; reading it again from the start is the cure
// (see readWhileBusy in records/jet/PageFile.h).
class ChangedError : public Error {
public:
    using Error::Error;
};

// The file may not be opened as it was asked (a database password): no
// damage to report, a refusal.
class RefusedError : public Error {
public:
    using Error::Error;
};

// A line for the user that reports no failure (a journal set aside, say) is
// no Error: it goes where the file's Options (Options.h) send it.

} // namespace zorvane::jet
