#pragma once
// The start-up check of the data-access layer: can a connection object be made at all?
// When the layer reports its provider missing (number 3706, or a description that says
// "provider cannot be found"), the user is told why and offered the download pages.

#include <QString>

namespace qv::engine {

inline constexpr char kEngine2010Page[] = "https://www.microsoft.com/en-us/download/details.aspx?id=13255";
inline constexpr char kEngine2016Page[] = "https://www.microsoft.com/en-us/download/details.aspx?id=54920";

// The message shown when the provider is missing (lines joined by CR LF).
QString missingProviderText();

// True when a connection object could be created. Otherwise false, after the message and
// (on Yes) the two page requests when the failure means a missing provider; silently for
// any other failure. Nothing inside is reported as an Application Error.
bool CheckProvider();

}  // namespace qv::engine
