#pragma once
// The part of the consistency check that reads security IDs: every MSysObjects.Owner and
// MSysACEs.SID, unmasked with the file's key (sid_mask.h), must name an account. An
// empty owner is no fault (Access leaves some), and the owners of an Office-encrypted
// .accdb are not read: Access leaves them masked with a key from before the encryption.

#include <string>
#include <vector>

namespace qv::jet {

class DatabaseImpl;

// One sentence per SID that names no account (the first few, then how many more);
// empty when every SID names one. Jet 3 files keep SIDs another way and are not read.
std::vector<std::string> checkSids(DatabaseImpl& db);

}  // namespace qv::jet
