#include "base/InputLimits.h"

#include "base/Messages.h"

#include <QFile>
#include <QLocale>

#include <cstring>

namespace qv {

QString inputProblemText(const std::string& path, const platform::InputStatus& status, std::int64_t limit) {
    const QString name = QFile::decodeName(path.c_str());
    switch (status.problem) {
    case platform::InputProblem::None: return {};
    case platform::InputProblem::NotRegularFile: return Messages::format("inputNotRegular", name);
    case platform::InputProblem::TooLarge:
        return Messages::format("inputTooLarge", name, QLocale().formattedDataSize(limit, 0, QLocale::DataSizeIecFormat));
    case platform::InputProblem::CannotOpen:
    case platform::InputProblem::ReadFailed: break;
    }
    return Messages::format("readErrorLine", name, QString::fromLocal8Bit(std::strerror(status.error)));
}

}  // namespace qv
