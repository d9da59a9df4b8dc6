#include "app/shell/main_doc.h"

IMPLEMENT_DYNCREATE(CMainDoc, CDocument)

BOOL CMainDoc::OnNewDocument() { return CDocument::OnNewDocument(); }
