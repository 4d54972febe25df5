// Writes a fixed-form Fortran source of about the requested number of lines
// (CR LF line ends) that mixes the statement kinds the converter meets:
// program units of every head kind, declarations, CHARACTER statements over
// continuation lines, labelled DO loops, IF blocks, console and file I/O,
// FORMAT statements, comments, tabs, double-quoted constants and blank lines.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kUnitBody[] = {
    "C     Generated unit %d: the mix of a typical numerical code",
    "      IMPLICIT DOUBLE PRECISION (A-H,O-Z)",
    "      PARAMETER (N = 100, M = 20)",
    "      CHARACTER*16 NAME, TITLE,",
    "     &             LABEL",
    "      DIMENSION A(N), B(N), C(M,M)",
    "      COMMON /WORK%d/ A, B, C",
    "      DATA TITLE /\"Generated\"/",
    "",
    "      NAME = 'UNIT%d'",
    "      DO 10 I = 1, N",
    "         A(I) = DBLE(I) * 0.5D0",
    "\t B(I) = A(I) ** 2 + SIN(A(I))",
    "   10 CONTINUE",
    "      IF (A(1) .GT. B(1)) THEN",
    "         CALL SWAP(A(1), B(1))",
    "      ELSE IF (A(2) .EQ. 0.0D0) THEN",
    "         A(2) = 1.0D0",
    "      END IF",
    "      WRITE(*,100) NAME, A(1), B(1)",
    "  100 FORMAT(1X,A16,2F12.4/1X,'done')",
    "      OPEN(10, FILE='OUT%d.DAT', STATUS='UNKNOWN')",
    "      WRITE(10,*) (A(I), I = 1, N)",
    "      CLOSE(10)",
    "      READ(5,*,END=99) X",
    "      PRINT *, 'X =', X                                                  00260",
    "      DO 20 J = 1, M",
    "         DO 20 K = 1, M",
    "            C(J,K) = A(J) * B(K) ! outer product",
    "   20 CONTINUE",
    "   99 CONTINUE",
};

void Line(std::FILE* out, const char* format, int unit) {
  std::fprintf(out, format, unit);
  std::fputs("\r\n", out);
}

}  // namespace

// --simple writes units of plain assignments instead: the floor of what a
// conversion costs per line.
int main(int argc, char** argv) {
  bool simple = argc > 1 && std::string(argv[1]) == "--simple";
  if (simple) {
    --argc;
    ++argv;
  }
  long target = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::FILE* out = stdout;
  if (simple) {
    long lines = 0;
    for (int unit = 1; lines < target; ++unit) {
      Line(out, "      SUBROUTINE S%d(X)", unit);
      Line(out, "      REAL X", unit);
      for (int i = 0; i < 96; ++i) Line(out, "      X = X * 1.5 + 2.0", unit);
      Line(out, "      END", unit);
      lines += 99;
    }
    return std::fclose(out) == 0 ? 0 : 1;
  }
  long lines = 0;
  Line(out, "      PROGRAM GENMAIN", 0);
  Line(out, "      CALL UNIT1", 0);
  Line(out, "      STOP", 0);
  Line(out, "      END", 0);
  lines += 4;
  constexpr int kBody = sizeof kUnitBody / sizeof kUnitBody[0];
  for (int unit = 1; lines < target; ++unit) {
    if (unit % 3 == 0)
      Line(out, "      DOUBLE PRECISION FUNCTION UNIT%d(X)", unit);
    else
      Line(out, "      SUBROUTINE UNIT%d", unit);
    for (int i = 0; i < kBody; ++i) Line(out, kUnitBody[i], unit);
    if (unit % 3 == 0) Line(out, "      UNIT%d = X", unit);
    Line(out, "      RETURN", unit);
    Line(out, "      END", unit);
    lines += kBody + 3 + (unit % 3 == 0);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
