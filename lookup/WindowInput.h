#pragma once

class QKeyEvent;

namespace zorvane::lookup {

// How the lookup window reads keys.
// Enter (either key, keypad too) without other modifiers.
bool isEnter(const QKeyEvent& key);
// Ctrl with Enter: a new line in the address box.
bool isCtrlEnter(const QKeyEvent& key);
// Keys that reach a text field as a character: printable characters, Space,
// Backspace, Escape and Ctrl with a letter. Enter, Tab and Delete do not, nor
// Alt combinations (access keys).
bool deliversCharacter(const QKeyEvent& key);

// Swallows the user's input that queued up while a search walked: the walk
// takes no key or click, and none is handled after it either.
void discardQueuedInput();

} // namespace zorvane::lookup
