// The texts of system errors and the names that are devices, in this
// system's words.
#include <cerrno>
#include <cstring>

#include "common/platform.h"

#if defined(_WIN32)
#include <windows.h>
#endif

bool isWindowsDeviceName(const std::string& path) {
  if (path.compare(0, 4, "\\\\.\\") == 0 || path.compare(0, 4, "//./") == 0) {
    return true;
  }
  if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "//?/") == 0) {
    return false;
  }
  // The last part of the path ("C:nul" too), without a colon after it.
  std::string name = path;
  if (!name.empty() && name.back() == ':') {
    name.pop_back();
  }
  const std::size_t separator = name.find_last_of("\\/:");
  name = name.substr(separator == std::string::npos ? 0 : separator + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  for (char& c : name) {
    c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  static const char* const kDevices[] = {"NUL", "CON", "PRN", "AUX", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (name == device) {
      return true;
    }
  }
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
         name[3] >= '0' && name[3] <= '9';
}

std::string fileErrorText(const std::string& path, int error) {
  return isDeviceName(path) ? "it is a device, not a file" : systemErrorText(error);
}

#if defined(_WIN32)

std::string systemErrorText(int error) {
  if (error == EACCES &&
      (_doserrno == ERROR_SHARING_VIOLATION || _doserrno == ERROR_LOCK_VIOLATION)) {
    return "it is open in another program";
  }
  return error != 0 ? std::strerror(error) : "input/output error";
}

std::string systemErrorText(const std::error_code& error) {
  if (error.category() == std::generic_category()) {
    return systemErrorText(error.value());
  }
  if (error.category() == std::system_category() &&
      (error.value() == ERROR_SHARING_VIOLATION || error.value() == ERROR_LOCK_VIOLATION)) {
    return "it is open in another program";
  }
  return error.message();
}

bool isDeviceName(const std::string& path) {
  return isWindowsDeviceName(path);
}

#else

std::string systemErrorText(int error) {
  return error != 0 ? std::strerror(error) : "input/output error";
}

std::string systemErrorText(const std::error_code& error) {
  return error.category() == std::generic_category() || error.category() == std::system_category()
             ? systemErrorText(error.value())
             : error.message();
}

bool isDeviceName(const std::string& /*path*/) {
  return false;
}

#endif
