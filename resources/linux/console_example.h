/* The dialog's example of the console form, with the program's name as it
   is called here: tessivo, lower case, as the package installs it. The
   build takes this file or its Windows twin (cmake/dialog_core.cmake);
   main_dialog_controls.def shows the text. */
#define TESSIVO_CONSOLE_EXAMPLE_TEXT "Konsolenstart (Bsp.):  tessivo  COM1  1234"
