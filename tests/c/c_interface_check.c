/* A plain C99 program using only <stelox.h>: the version and message texts
 * must come back exactly. Exit status 0 when all hold. */
#include <stelox.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expectText(const char* got, const char* want) {
  if (strcmp(got, want) != 0) {
    fprintf(stderr, "expected \"%s\", got \"%s\"\n", want, got);
    ++failures;
  }
}

int main(void) {
  SteloxVersion version;
  if (steloxGetVersion(NULL) != SteloxErrorNullVersionStructure) ++failures;
  if (steloxGetVersion(&version) != SteloxErrorOk || version.major != 4 || version.minor != 0 ||
      version.releaseType != 3 || version.build != 4)
    ++failures;
  expectText(steloxVersion(), "Stelox Stereo Vision SDK 4.0 Release 4");
  expectText(steloxErrorToString(SteloxErrorOk), "Function succeeded");
  expectText(steloxErrorToString(SteloxErrorInvalidRowIncrement), "Invalid Row Increment. ");
  expectText(steloxErrorToString((SteloxError)51), "Unknown Error");
  expectText(steloxErrorToString((SteloxError)-1), "Unknown Error");
  printf("%s\n", steloxVersion());
  return failures == 0 ? 0 : 1;
}
