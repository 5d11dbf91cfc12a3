#pragma once
// Initialisation objects: one per service in each source file that uses it, so that the
// service exists before that file's static objects and outlives their destructors.

namespace Port {

class FileInit {
 public:
  FileInit();
};

class PathListInit {
 public:
  PathListInit();
};

}  // namespace Port

static Port::FileInit s_portFileInit;
static Port::PathListInit s_portPathListInit;
