// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the tests built for Windows, run under Wine by tests/wine, have the
// Linux side do what a Windows program cannot: change the table of their
// network namespace (`ip`), or send them SIGINT, which Wine turns into the
// console's Ctrl+C. A request is one line on the program's standard output,
// starting with kHarnessRequest; the answer is one line on its standard input.
//
//   reset                           only the namespace's own address, no neighbours
//   add <address> <mac|-> <state>   as `ip neigh add`; <state> as `ip neigh` names it
//   replace <address> <mac|-> <state>
//   address <address/prefix>        another address on veth0
//   list                            the neighbours' addresses, as `ip -4 neigh show` lists them
//   interrupt                       SIGINT to the program
//
// Answers: "ok", "failed", or for list "listed" and the addresses, each after a space.

namespace tevra::test {

inline constexpr char kHarnessRequest[] = "tevra-harness: ";
// Set to 1 in the environment of a Windows test program that has a harness.
inline constexpr char kHarnessVariable[] = "TEVRA_TEST_HARNESS";

}  // namespace tevra::test
