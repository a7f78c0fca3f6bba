#pragma once
// A fixture with the main window shown; its documents are closed unasked at the end, so that no
// question about saving them waits for an answer.
#include <gtest/gtest.h>

#include <memory>

#include "ColorMemo.h"
#include "Editeur.h"
#include "MainForm.h"

class ShownMainForm : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TMainForm>();
    form->show();
  }
  void TearDown() override {
    for (TEditeur* e : form->editeurs()) e->Memo1->SetModified(false);
    form.reset();
  }
  std::unique_ptr<TMainForm> form;
};
