#pragma once
// What the builder's end-to-end tests need of programs and games: the test
// stub on disk, a program signed as a release engineer signs it (openssl and
// osslsigncode), and the sample game of scripts/make-sample-game.

#include <string>

// QelPatch-stub.exe of this version, made by tests/support/pe_stub.h.
void WriteTestStub(const std::string& path);

// Signs `program` into `signedProgram` with a throwaway certificate made in
// `keys`; false when a tool failed.
bool SignProgram(const std::string& program, const std::string& signedProgram,
                 const std::string& keys);

// The sample game's two versions: `folder`/old and `folder`/new.
void MakeSampleGame(const std::string& folder);
