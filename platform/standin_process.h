// Processes on the operating system, for the tests and rehearsals of the commands: this
// process's environment changed, and a command run to its end with its outputs in files.
// standin_process_posix.cc and standin_process_windows.cc implement it for each system.
#ifndef PLATFORM_STANDIN_PROCESS_H
#define PLATFORM_STANDIN_PROCESS_H

#include <string>
#include <vector>

// Sets the environment variable `name` of this process to `value`; a null `value` removes it,
// and so does an empty one on Windows, whose C runtime keeps no empty variables.
void StandinSetEnv(const char* name, const char* value);

// Runs `program` (a path to an executable) with `arguments` after its own name, in the folder
// `directory`, with standard input empty and standard output and error written to the files
// `out_file` and `err_file` (an empty name discards them). Its environment is this process's,
// changed by `environment`: "NAME=VALUE" sets a variable, a bare "NAME" removes one. Returns the
// exit code, or -1 when the program could not be started or did not exit normally.
int StandinRunProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& directory, const std::vector<std::string>& environment,
                      const std::string& out_file, const std::string& err_file);

#endif  // PLATFORM_STANDIN_PROCESS_H
