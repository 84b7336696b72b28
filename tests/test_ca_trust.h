// Makes the test certificate authority trusted for this test process only:
// the current user's Root store inside the throwaway Wine prefix on Windows,
// the process's CA file setting elsewhere. Test thread only.
#pragma once

#include <string>

// Paths to the authority's certificate in DER and PEM form.
void trustTestAuthority(const std::string& derPath, const std::string& pemPath);
