#pragma once
// Who owns a new table and which permission rows (MSysACEs) it gets, as Access decides
// when it creates a table in a database.
//
// MSysACEs holds one row per object and account: ObjectId (the MSysObjects Id), SID (the
// account, masked: sid_mask.h), ACM (the rights, a bit mask; 1048575 is every right) and
// FInheritable. Inheritable rows sit on containers: they are the rights that objects
// created in the container start with. When Access creates a table it
//   - makes the creating account (without a workgroup login, the Admin user) its owner
//     (MSysObjects.Owner);
//   - gives it one non-inheritable row for each inheritable row of the Tables container,
//     with the same account and rights, in the container's order -- except that the
//     creator stand-in's row goes to the creating account (joined with any row the
//     container has for that account itself).
// In every table the corpus of Access-made databases holds, the rows follow this rule
// (e.g. Tables: creator 983294, Admin 1048319, Admins 1048319, Users 1048319, all
// inheritable; each table: Admin, Admins and Users with 1048319).
//
// A container row whose SID names no account (a damaged row, or a database another
// tool made) is not passed on. When nothing usable is left, a new user table gets the
// rights the engine's own Tables container grants in a database it makes: the creator
// 983294 and the Users group 1048319.

#include <cstdint>
#include <string>
#include <vector>

namespace qv::jet {

// One permission row with its SID unmasked.
struct Ace {
  std::string sid;
  int32_t rights = 0;
  bool inheritable = false;
};

inline bool operator==(const Ace& a, const Ace& b) {
  return a.sid == b.sid && a.rights == b.rights && a.inheritable == b.inheritable;
}

// The rows of a new object created by `creator` in a container with the rows `container`
// (all its rows; only the inheritable ones count). With defaults, a container that
// passes nothing on yields the engine's default rights instead of none.
std::vector<Ace> rightsOfNewObject(const std::vector<Ace>& container, const std::string& creator, bool defaults);

}  // namespace qv::jet
