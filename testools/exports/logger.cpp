// Exports: logger entry points.
#include "TesTools.h"
#include "testools/logger.h"

void AddMsgToLogger(uint8_t kind, const std::string& message, const std::string& source, const std::string& extra,
                    TLogger* mainLogger, TLogger* reserveLogger) {
  testools::AddMsgToLogger(kind, message, source, extra, mainLogger, reserveLogger);
}
void AddToLogger(TUserTask* task, uint8_t kind, const std::string& message, const std::string& extra,
                 TLogger* reserveLogger) {
  testools::AddToLogger(task, kind, message, extra, reserveLogger);
}
