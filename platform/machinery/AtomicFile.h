#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Replaces a file so that a reader sees either the old or the new content, never a part of it:
// the bytes go to a temporary file in the same folder, which is flushed to disk, renamed over
// the target, and the folder is flushed so that the rename itself survives a crash.
// Returns false (and says why in *error) when any step fails; the old file is then untouched.
// A writer killed before its rename leaves its temporary file (".<name>.XXXXXX") behind; the
// next write of the same target removes it, so that killed writes never pile up. A temporary
// file that a living writer still holds is left alone.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);

// Whether writeFileAtomically flushes to disk (the default). A process whose files are thrown
// away when it ends (the shadow phone of `phonectl today`) skips the flushes, which cost more
// than all of its other work; readers still see the old or the new content whole.
void setAtomicWritesDurable(bool durable);

// Reads a whole file; false when it cannot be opened or read.
bool readFile(const std::filesystem::path& path, std::string& bytes, std::string* error = nullptr);
