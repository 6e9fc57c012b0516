#pragma once

#include <string>

#include "nbase/lock.h"

// Log levels, written into each line by name. Lines whose level is at or
// below the file's threshold go to the log file; every line goes to the
// debugger output.
enum LogLevel : int {
  LV_ERR = 0,
  LV_WAR = 1,
  LV_APP = 2,
  LV_PRO = 3,
};

// The process's one log file. Any thread may write; each line is appended
// under the lock with the file opened and closed around it, so lines from
// different threads never interleave and a deleted file simply comes back.
class LogFile {
 public:
  // Created on first use and never destroyed: threads that outlive the entry
  // function (downloads, analytics) may still log while the process exits.
  static LogFile& Instance();

  // Set once during start-up, before any other thread exists.
  void SetPath(const std::wstring& path) { path_ = path; }
  void SetLevel(int level) { level_ = level; }
  const std::wstring& path() const { return path_; }
  int level() const { return level_; }

  // Sends the complete line (ending in CR LF) to the debugger output and, when
  // its level passes the threshold and a path is set, appends it as UTF-8.
  void Write(int level, const std::wstring& line);

 private:
  LogFile() = default;
  void AppendToFile(const std::string& utf8);

  std::wstring path_;
  int level_ = LV_APP;
  nbase::Lock lock_;
};

// One log statement. The line is stamped with the local time and the calling
// source file and line when constructed, and written when the statement ends:
//   LogLine(__FILE__, __LINE__).SetLevel(LV_APP).SetMessage(L"app: started");
class LogLine {
 public:
  LogLine(const char* sourceFile, long sourceLine);
  ~LogLine();
  LogLine(const LogLine&) = delete;
  LogLine& operator=(const LogLine&) = delete;

  LogLine& SetLevel(int level) {
    level_ = level;
    return *this;
  }
  LogLine& SetMessage(const std::wstring& message) {
    message_ = message;
    return *this;
  }

  // The finished line as it is written: "[YYYY-MM-DD hh:mm:ss file:line LV_APP] text\r\n".
  std::wstring Text() const;

  // Name written for a level; empty for values outside LV_ERR..LV_PRO.
  static const wchar_t* LevelName(int level);

 private:
  std::wstring timePrefix_;
  std::wstring sourcePrefix_;
  int level_ = LV_PRO;
  std::wstring message_;
};

#define LOG_AT(level, message) LogLine(__FILE__, __LINE__).SetLevel(level).SetMessage(message)
#define LOG_ERR(message) LOG_AT(LV_ERR, message)
#define LOG_WAR(message) LOG_AT(LV_WAR, message)
#define LOG_APP(message) LOG_AT(LV_APP, message)
#define LOG_PRO(message) LOG_AT(LV_PRO, message)
