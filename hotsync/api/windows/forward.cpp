// A DLL of the stand-in with one of the HotSync Manager's names: its .def file forwards
// every export to hotsync.dll, so it has no code of its own.
