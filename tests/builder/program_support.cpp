#include "tests/builder/program_support.h"

#include <gtest/gtest.h>

#include "base/version.h"
#include "tests/builder/command_support.h"
#include "tests/support/pe_stub.h"
#include "tests/support/temp_folder.h"

void WriteTestStub(const std::string& path) {
  WriteWholeFile(path, MakeTestStub("QelPatch stub " QELPATCH_VERSION));
}

bool SignProgram(const std::string& program, const std::string& signedProgram,
                 const std::string& keys) {
  const CCommandResult key = RunCommand({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                                         "-days", "2", "-subj", "/CN=QelPatch test signer",
                                         "-keyout", keys + "/key.pem", "-out", keys + "/cert.pem"});
  if (key.exitCode != 0) return false;
  return RunCommand({"osslsigncode", "sign", "-certs", keys + "/cert.pem", "-key",
                     keys + "/key.pem", "-n", "QelPatch", "-h", "sha256", "-in", program, "-out",
                     signedProgram})
             .exitCode == 0;
}

void MakeSampleGame(const std::string& folder) {
  const CCommandResult made =
      RunCommand({"python3", QELPATCH_SOURCE_DIR "/scripts/make-sample-game", folder});
  ASSERT_EQ(made.exitCode, 0) << made.err;
}
