// CMainDoc: the document of the single-document template. It holds nothing; the view holds the
// program's state.
#pragma once

#include "platform/ui/app.h"

class CMainDoc : public CDocument {
  DECLARE_DYNCREATE(CMainDoc)

 public:
  BOOL OnNewDocument() override;
  void Serialize(CArchive& ar) override {}
};
