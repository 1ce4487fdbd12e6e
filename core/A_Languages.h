#pragma once
// The message catalogue: every text the add-in shows (prompts, error texts, titles, captions,
// labels) by its message id, in Polish and English. The current language is
// SharedState().LanguageIndex (0 Polish, 1 English), read at every lookup.

#include <string>

namespace telm {

// The text GetMessageText gives for an id outside 0..4000 or an empty slot.
inline constexpr const char* kCriticalErrorText = "Critical error. Restart TELM.NET!";

// Fills the catalogue slots of every message id the add-in uses with their two texts; all other
// slots stay empty. Called once at start-up, before menus and toolbars are built.
void InitMessageCatalogue();

// The text of `id` in the current language: titles (2000-2999) get "TELM.NET - " in front, and each
// "//" becomes a line feed except the one of "http://". kCriticalErrorText for an id outside 0..4000
// or an empty slot; never raises.
std::string GetMessageText(int id);

}  // namespace telm
