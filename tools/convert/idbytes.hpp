// The bytes of an identifier: control characters and text that is not
// UTF-8 would pass unseen into the genotype file and every table after it.
#pragma once
#include <string>

// "" when id is UTF-8 without control characters (C0, DEL, C1); else what
// is wrong, naming the first faulty byte and its place (from 1).
std::string badbytes(const std::string& id);

// id as a message shows it: control characters and bytes that are not
// UTF-8 written as \xHH.
std::string shown(const std::string& id);
