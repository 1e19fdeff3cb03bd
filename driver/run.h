// The run sequence of `Quorvel control_file`: reads the control file, builds the rename plan,
// runs the session stages and returns the exit code (2 no argument, 3 empty argument, 4
// control file not readable, 7 session not created, 6 session not deleted, 0 otherwise).
#ifndef DRIVER_RUN_H
#define DRIVER_RUN_H

int RunQuorvel(int argc, char* argv[]);

#endif  // DRIVER_RUN_H
