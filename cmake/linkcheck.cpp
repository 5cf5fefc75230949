// The body of the link checks (zorvane_library): the library under test is
// linked in whole; this file adds nothing.
