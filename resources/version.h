/* The product's version: the one place both the program's version record and
   the command-line tool's --version take it from. Plain C preprocessor, so the
   resource compiler can read it too. */
#ifndef VANTOREL_VERSION_H
#define VANTOREL_VERSION_H

#define VANTOREL_VERSION_TEXT "1.00"
#define VANTOREL_VERSION_NUMBERS 1, 0, 0, 0

#endif
