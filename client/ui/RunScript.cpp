#include "RunScript.h"

namespace kvq {

QString EndOfInputLine() {
  return QString(QChar(0));
}

void TRunScript::Restart() {
  scriptStep_ = 0;
  paramIndex_ = 0;
}

QString TRunScript::NextLine(int paramCount) {
  ++scriptStep_;
  switch (scriptStep_) {
    case 1:
      return QStringLiteral("set title");
    case 2:
      return QStringLiteral("Summa (X(i)-i)**2 has global minimum=0  if X(i)=i");
    case 3:
      return QStringLiteral("parameters");
    case 4:
      return ParameterLine(paramCount);
    case 5:
      return QStringLiteral("seek 20");
    case 6:
      return QStringLiteral("simplex");
    case 7:
      return QStringLiteral("minimize");
    case 8:
      return QStringLiteral("exit");
    default:
      // Stay past the end, however many requests follow.
      scriptStep_ = 9;
      return EndOfInputLine();
  }
}

// "3 'X3'  0. 0.1" while parameters remain, then the empty line that ends
// the block. Step 3 is revisited so that the next request comes back here.
QString TRunScript::ParameterLine(int paramCount) {
  ++paramIndex_;
  if (paramIndex_ <= paramCount) {
    scriptStep_ = 3;
    return QStringLiteral("%1 'X%1'  0. 0.1").arg(paramIndex_);
  }
  return QString();
}

}  // namespace kvq
