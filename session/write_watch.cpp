// A run file's failing state and the two lines that tell its changes.
#include "session/write_watch.h"

#include "session/monitor_texts.h"

namespace tavrel {

std::optional<std::string> WriteWatch::record(WriteResult result) {
    const bool failing = !result;
    if (failing == m_failing)
        return std::nullopt; // a further failure, even for another reason, is part of the same run
    m_failing = failing;
    return failing ? formatFileStopped(m_path, result.error) : resumedText();
}

std::string WriteWatch::resumedText() const {
    return formatFileResumed(m_path);
}

} // namespace tavrel
