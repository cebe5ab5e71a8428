// The window's caption names the version the operator reports to support.
namespace carvela {
extern const char* const appVersion;
const char* const appVersion = "3.1";
} // namespace carvela
