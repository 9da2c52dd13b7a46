#pragma once
// Pruning and searching the client list by a piece of text (plain text, not a wildcard).
#include <QString>

namespace vantrel {

class ClientList;

// The pattern box's placeholder text.
inline constexpr char patternPlaceholder[] = "<enter_pattern_here>";

// Whether the pattern box's text can be used: not empty and without "<" (so never the
// placeholder).
bool PatternUsable(const QString& text);

// Removes every entry whose name contains `pattern`, letter case ignored (both sides lower-
// cased). The others keep their order, their ticks, and the highlight when the current entry
// stays (a removed current entry leaves none). Returns the number removed.
int RemoveByPattern(ClientList& list, const QString& pattern);

// Makes the first entry at or after `start` whose name contains `pattern` (letter case
// counts) the current entry. No wrap-around: when none matches, nothing changes.
void FindNextByPattern(ClientList& list, const QString& pattern, int start);

} // namespace vantrel
