[Field=OverlayType Index=0 Type=1]
[Field=chkMediaRepeat Type=C]
 0 
[Field=chkMediaMouse Type=C]
 0 
[Field=chkMediaView Type=C]
 0 
[Field=chkMediaOpen Type=C]
 0 
[Field=chkKeepBM Type=C]
 1 
[Field=txtOutlinePage Type=T]

[Field=chkOutline Type=C]
 0 
[Field=txtOutlineText Type=T]

[Field=txtTextAreaAngle Type=T]
0
[Field=txtTextAreaPoint Type=T]
12
[Field=optPgAlign Index=0 Type=O]
True
[Field=optPgAlign Index=3 Type=O]
False
[Field=optPgAlign Index=2 Type=O]
False
[Field=optPgAlign Index=1 Type=O]
False
[Field=lblRight2 Type=A]
-2147483630 
[Field=lblCenter Type=A]
-2147483630 
[Field=lblLeft Type=A]
-2147483630 
[Field=txtPullPages Type=T]

[Field=chkStampBack Type=C]
 0 
[Field=txtStandard Type=T]
Text1
[Field=chkImages Type=C]
 0 
[Field=txtParams Type=T]

[Field=chkPrint Type=C]
 0 
[Field=chkMail Type=C]
 0 
[Field=cmbSort Type=L]
 0 
[Field=txtPass Type=T]

[Field=cmbTextAreaUnits Type=L]
 0 
[Field=txtTextAreaY Type=T]

[Field=txtTextAreaX Type=T]

[Field=optLeft Index=1 Type=O]
True
[Field=optLeft Index=0 Type=O]
False
[Field=lblFromRight Type=A]
-2147483630 
[Field=lblFromLeft Type=A]
-2147483630 
[Field=optBottom Index=1 Type=O]
True
[Field=optBottom Index=0 Type=O]
False
[Field=lblTextAreaY Type=A]
-2147483630 
[Field=lblTextAreaX Type=A]
-2147483630 
[Field=chkAutoScale2 Type=C]
 0 
[Field=txtMediaBox Index=0 Type=T]

[Field=txtMediaBox Index=1 Type=T]

[Field=txtMediaBox Index=2 Type=T]

[Field=txtMediaBox Index=3 Type=T]

[Field=txtCropBox Index=0 Type=T]

[Field=txtCropBox Index=1 Type=T]

[Field=txtCropBox Index=2 Type=T]

[Field=txtCropBox Index=3 Type=T]

[Field=txtArtBox Index=0 Type=T]

[Field=txtArtBox Index=1 Type=T]

[Field=txtArtBox Index=2 Type=T]

[Field=txtArtBox Index=3 Type=T]

[Field=txtBleedBox Index=0 Type=T]

[Field=txtBleedBox Index=1 Type=T]

[Field=txtBleedBox Index=2 Type=T]

[Field=txtBleedBox Index=3 Type=T]

[Field=txtTrimBox Index=0 Type=T]

[Field=txtTrimBox Index=1 Type=T]

[Field=txtTrimBox Index=2 Type=T]

[Field=txtTrimBox Index=3 Type=T]

[Field=txtTextArea Type=T]

[Field=txtTextAreaPages Type=T]

[Field=cmbStamp Type=L]
 0 
[Field=txtStampAngle Type=T]

[Field=txtStampScale Type=T]

[Field=txtStampText Type=T]

[Field=picStamp Type=P]
-2147483643 
[Field=cmbStampUnits Type=L]
 0 
[Field=txtStampY Type=T]

[Field=txtStampX Type=T]

[Field=txtStampPages Type=T]

[Field=chkAutoScale1 Type=C]
 0 
[Field=txtAngle Type=T]

[Field=cmbPageSize Type=L]
 0 
[Field=txtPageSizeY Type=T]

[Field=txtPageSizeX Type=T]

[Field=chkAutoRotate Type=C]
 0 
[Field=chkCenter Type=C]
 1 
[Field=txtRight Type=T]
0
[Field=txtDown Type=T]
0
[Field=txtScale Type=T]

[Field=txtPassword Type=T]
Text1
[Field=Check1 Type=C]
 1 
[Field=txtAttachDesc5 Type=T]

[Field=txtAttachDesc4 Type=T]

[Field=txtAttachDesc3 Type=T]

[Field=txtAttachDesc2 Type=T]

[Field=txtAttachDesc1 Type=T]

[Field=txtAttach5 Type=T]

[Field=txtAttach4 Type=T]

[Field=txtAttach3 Type=T]

[Field=txtAttach2 Type=T]

[Field=txtAttach1 Type=T]

[Field=txtValueAttr2 Type=T]

[Field=txtNameAttr2 Type=T]

[Field=txtValueAttr1 Type=T]

[Field=txtNameAttr1 Type=T]

[Field=lblAttrValue Type=A]
-2147483630 
[Field=lblAttrName Type=A]
-2147483630 
[Field=txtTitle Type=T]

[Field=txtAuthor Type=T]

[Field=txtProducer Type=T]

[Field=txtKeywords Type=T]

[Field=txtSubject Type=T]

[Field=lblTitle Type=A]
-2147483630 
[Field=lblSubject Type=A]
-2147483630 
[Field=lblAuthor Type=A]
-2147483630 
[Field=lblProducer Type=A]
-2147483630 
[Field=lblKeywords Type=A]
-2147483630 
[Field=txtReplace Type=T]

[Field=txtNoteTitle Type=T]

[Field=txtNotePages Type=T]

[Field=txtNote Type=T]

[Field=cmbImpose Type=L]
 0 
[Field=perm1_txt Type=T]

[Field=perm2_txt Type=T]

[Field=Print_chk Type=C]
 0 
[Field=Change_chk Type=C]
 0 
[Field=Text_Chk Type=C]
 0 
[Field=Ann_Chk Type=C]
 0 
[Field=Fill_Chk Type=C]
 0 
[Field=Asm_chk Type=C]
 0 
[Field=Low_Chk Type=C]
 0 
[Field=Label3 Type=A]
-2147483630 
[Field=Label4 Type=A]
-2147483630 
[Field=Compat_Com Type=L]
 0 
[Field=open1_txt Type=T]

[Field=open2_txt Type=T]

[Field=txthighlight Type=T]

[Field=cmbHiType Type=L]
 0 
[Field=picColor Type=P]
-2147483643 
[Field=chkRevOverlay Type=C]
 0 
[Field=txtSize Type=T]
10
[Field=txtTransparency Type=T]

[Field=cmbTranstype Type=L]
 0 
[Field=chkPage Type=C]
 0 
[Field=txtPgFmt Type=T]
%1 of %2
[Field=txtPgLeft Type=T]
36
[Field=txtPgBottom Type=T]
36
[Field=cmbNumber Type=L]
 0 
[Field=tbTextAlign Index=1 Type=B]
 1 
[Field=tbTextAlign Index=2 Type=B]
 0 
[Field=tbTextAlign Index=3 Type=B]
 0 
[Field=lblOutline2 Type=A]
-2147483630 
[Field=lblOutline1 Type=A]
-2147483630 
[Field=lblTextAreaAngle2 Type=A]
-2147483630 
[Field=lblTextAreaAngle Type=A]
-2147483630 
[Field=lblTextAreaPoint2 Type=A]
-2147483630 
[Field=lblTextAreaPoint Type=A]
-2147483630 
[Field=lblTextColor Type=A]
-2147483630 
[Field=lblPullPages2 Type=A]
-2147483630 
[Field=lblPullPages Type=A]
-2147483630 
[Field=lblImage Type=A]
-2147483630 
[Field=lblParams Type=A]
-2147483630 
[Field=lblSort Type=A]
-2147483630 
[Field=lblPass Type=A]
-2147483630 
[Field=lblMediaBox Type=A]
-2147483630 
[Field=lblTrimBox Type=A]
-2147483630 
[Field=lblCropBox Type=A]
-2147483630 
[Field=lblArtBox Type=A]
-2147483630 
[Field=lblBleedBox Type=A]
-2147483630 
[Field=lblX1 Type=A]
-2147483630 
[Field=lblY1 Type=A]
-2147483630 
[Field=lblX2 Type=A]
-2147483630 
[Field=lblY2 Type=A]
-2147483630 
[Field=lblBox Type=A]
-2147483630 
[Field=lblBox Type=A]
-2147483630 
[Field=lblBox Type=A]
-2147483630 
[Field=lblBox Type=A]
-2147483630 
[Field=lblBox Type=A]
-2147483630 
[Field=lblTextArea Type=A]
-2147483630 
[Field=lblTextPages Type=A]
-2147483630 
[Field=lblTextPages2 Type=A]
-2147483630 
[Field=lblStamp Type=A]
-2147483630 
[Field=lblStampAngle Type=A]
-2147483630 
[Field=lblStampAngle2 Type=A]
-2147483630 
[Field=lblStampScale Type=A]
-2147483630 
[Field=txtStampScale2 Type=A]
-2147483630 
[Field=lblStampText Type=A]
-2147483630 
[Field=lblStampSample Type=A]
-2147483630 
[Field=lblStampOffset Type=A]
-2147483630 
[Field=Label6 Type=A]
-2147483630 
[Field=Label7 Type=A]
-2147483630 
[Field=Label5 Type=A]
-2147483630 
[Field=lblStampPages Type=A]
-2147483630 
[Field=lblNotePages2 Type=A]
-2147483630 
[Field=lblAngle2 Type=A]
-2147483630 
[Field=lblAngle Type=A]
-2147483630 
[Field=lblPageSize Type=A]
-2147483630 
[Field=lblPageSizeX Type=A]
-2147483630 
[Field=lblPoints2 Type=A]
-2147483630 
[Field=lblRight Type=A]
-2147483630 
[Field=lblPoints1 Type=A]
-2147483630 
[Field=lblDown Type=A]
-2147483630 
[Field=lblScalerange Type=A]
-2147483630 
[Field=lblScale Type=A]
-2147483630 
[Field=lblAttachDesc Type=A]
-2147483630 
[Field=lblAttach5 Type=A]
-2147483630 
[Field=lblAttach4 Type=A]
-2147483630 
[Field=lblAttach3 Type=A]
-2147483630 
[Field=lblAttach2 Type=A]
-2147483630 
[Field=lblAttach1 Type=A]
-2147483630 
[Field=lblOverlayDesc Type=A]
-2147483630 
[Field=lblImposeDesc Type=A]
-2147483630 
[Field=lblReplace Type=A]
-2147483630 
[Field=lblNoteTitle Type=A]
-2147483630 
[Field=lblNotePages Type=A]
-2147483630 
[Field=lblNote Type=A]
-2147483630 
[Field=lblOnePage Type=A]
-2147483630 
[Field=lbl2Up Type=A]
-2147483630 
[Field=lblImpose Type=A]
-2147483630 
[Field=Compat_lbl Type=A]
-2147483630 
[Field=Label1 Type=A]
-2147483630 
[Field=Label2 Type=A]
-2147483630 
[Field=lblPoints Type=A]
-2147483630 
[Field=lblPoints Type=A]
-2147483630 
[Field=lblHighlight2 Type=A]
-2147483630 
[Field=lblHighlight Type=A]
-2147483630 
[Field=lblSize Type=A]
-2147483630 
[Field=lblPgLeft Type=A]
-2147483630 
[Field=lblPgBottom Type=A]
-2147483630 
[Field=lblTrans Type=A]
-2147483630 
[Field=lblTransptype Type=A]
-2147483630 
[Field=lblTransrange Type=A]
-2147483630 
[Field=lblPgFmt Type=A]
-2147483630 
[Field=lblNumb Type=A]
-2147483630 
[Field=chkReduceImages Type=C]
 0 
[Field=txtImageDpi Type=T]
150
[Field=txtImageQuality Type=T]
75
[Field=lblImageDpi Type=A]
-2147483630 
[Field=lblImageQuality Type=A]
-2147483630 
[Field=chkSmallest Type=C]
 0 
[Field=TreeView1 Type=V]
