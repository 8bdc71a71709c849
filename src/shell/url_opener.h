#pragma once
// Opening a web address or mail link with the user's default program. The desktop
// program installs an opener that asks the desktop; tests install one that only records,
// so no test ever starts a browser. Without an opener the request is written to the
// standard error stream and nothing opens.

#include <QString>
#include <functional>

namespace qv::shell {

using UrlOpener = std::function<bool(const QString& address)>;

// Installs the opener (an empty one restores the default).
void setUrlOpener(UrlOpener opener);

// Asks the installed opener to open the address; returns what it answered.
bool OpenUrl(const QString& address);

// The maker's pages and the vendor's download pages the program offers.
inline constexpr char kHomePage[] = "https://varnholt.example/";
inline constexpr char kContactPage[] = "https://varnholt.example/contact";

}  // namespace qv::shell
