/* The script grammar: one node per command line, one page node per run of blank lines.
 *
 * Every command rule ends in its EOL, and the state after that EOL only reduces, so the parser
 * reduces without reading the next token: the node takes the lexer's line right after the line
 * end. The page rule needs the next token to see that the blank lines have ended, so a page node
 * takes the line of the first token after them. Token values are texts owned by the lexer. */

%code requires {
#include <string>
namespace TextScript { class Compiler; }
}

%code {
#include "script/compiler.h"
#include "script/script_node.h"

using Node = TextScript::ScriptStateNode;

static int script_lex(SCRIPT_STYPE* value, TextScript::Compiler& compiler) {
    return compiler.NextToken(value->text);
}

static void script_error(TextScript::Compiler& compiler, const char* message) {
    compiler.RaiseParserError(message);
}
}

/* A run of blank lines could end after any of its lines; shifting (the default) keeps the run
 * whole, so three blank lines make one page node. These are the grammar's only conflicts. */
%expect 3

%define api.prefix {script_}
%define api.pure full
%define api.token.prefix {TK_}
%param {TextScript::Compiler& compiler}

%union {
    std::u16string* text;
}

%token <text> WORD 258 TEXT 259
%token EOL 260 UNUSED 261
%token SEL 262 RMS 263 CLM 264 GRP 265 CHR 266 CHL 267 LGR 268 WAV 269 VOI 270 JMP 271 RJP 272
%token PJP 273 PST 274 RSP 275 RST 276 RSX 277 SFS 278 DON 279 DOF 280 TOF 281 IVG 282 SSL 283
%token END0 284 END1 285 END2 286 SED 287 DGR 288 LAB 289
%token <text> SHARPLINE 290 SLASHLINE 291
%token AT 292 FLS 293 S1A 294 S1B 295 S1M 296 S2A 297 S2B 298 S2M 299

%%

script:
    lines
    ;

lines:
    %empty
    | lines line
    ;

line:
    command
    | blank_run { compiler.Page(); }
    ;

blank_run:
    blank_line
    | blank_run blank_line
    ;

blank_line:
    EOL
    | SHARPLINE EOL
    | SLASHLINE EOL
    ;

command:
    TEXT EOL                      { compiler.Command(Node::kMessage, 0, {$1}); }
    | SEL WORD TEXT EOL           { compiler.Command(Node::kSel, 0, {$2, $3}); }
    | RMS TEXT EOL                { compiler.Command(Node::kRms, 0, {$2}); }
    | CLM TEXT EOL                { compiler.Command(Node::kClm, 0, {$2}); }
    | GRP WORD EOL                { compiler.Command(Node::kGrp, 0, {$2}); }
    | GRP WORD WORD EOL           { compiler.Command(Node::kGrp, 0, {$2, $3}); }
    | CHR WORD EOL                { compiler.Command(Node::kChr, 0, {$2}); }
    | CHL WORD EOL                { compiler.Command(Node::kChl, 0, {$2}); }
    | LGR WORD EOL                { compiler.Command(Node::kLgr, 0, {$2}); }
    | WAV WORD EOL                { compiler.Command(Node::kWav, 0, {$2}); }
    | VOI WORD EOL                { compiler.Command(Node::kVoi, 0, {$2}); }
    | AT WORD EOL                 { compiler.Command(Node::kVoi, 0, {$2}); }
    | S1A WORD EOL                { compiler.Command(Node::kS1a, 0, {$2}); }
    | S1B WORD EOL                { compiler.Command(Node::kS1b, 0, {$2}); }
    | S1M EOL                     { compiler.Command(Node::kS1m, 0, {}); }
    | S2A WORD EOL                { compiler.Command(Node::kS2a, 0, {$2}); }
    | S2B WORD EOL                { compiler.Command(Node::kS2b, 0, {$2}); }
    | S2M EOL                     { compiler.Command(Node::kS2m, 0, {}); }
    | FLS WORD EOL                { compiler.Command(Node::kFls, 0, {$2}); }
    | JMP WORD EOL                { compiler.Command(Node::kJmp, 0, {$2}); }
    | RJP WORD EOL                { compiler.Command(Node::kRjp, 0, {$2}); }
    | PJP WORD '=' WORD WORD EOL  { compiler.Declare($2); compiler.Declare($4); compiler.Command(Node::kPjp, '=', {$2, $4, $5}); }
    | PJP WORD '<' WORD WORD EOL  { compiler.Declare($2); compiler.Declare($4); compiler.Command(Node::kPjp, '<', {$2, $4, $5}); }
    | PJP WORD '>' WORD WORD EOL  { compiler.Declare($2); compiler.Declare($4); compiler.Command(Node::kPjp, '>', {$2, $4, $5}); }
    | PST WORD '=' WORD EOL       { compiler.Declare($2); compiler.Command(Node::kPst, '=', {$2, $4}); }
    | PST WORD '+' WORD EOL       { compiler.Declare($2); compiler.Command(Node::kPst, '+', {$2, $4}); }
    | PST WORD '-' WORD EOL       { compiler.Declare($2); compiler.Command(Node::kPst, '-', {$2, $4}); }
    | RSP WORD EOL                { compiler.Declare($2); compiler.Command(Node::kRsp, 0, {$2}); }
    | RST WORD EOL                { compiler.RequireOneLetter($2); compiler.Command(Node::kRst, 0, {$2}); }
    | RSX WORD EOL                { compiler.RequireOneLetter($2); compiler.Command(Node::kRsx, 0, {$2}); }
    | SFS WORD EOL                { compiler.Command(Node::kSfs, 0, {$2}); }
    | DGR WORD EOL                { compiler.Command(Node::kDgr, 0, {$2}); }
    | DON WORD EOL                { compiler.Declare($2); compiler.Command(Node::kDon, 0, {$2}); }
    | DOF EOL                     { compiler.Command(Node::kDof, 0, {}); }
    | TOF EOL                     { compiler.Command(Node::kTof, 0, {}); }
    | IVG WORD EOL                { compiler.Command(Node::kIvg, 0, {$2}); }
    | SSL WORD EOL                { compiler.Command(Node::kSsl, 0, {$2}); }
    | END0 WORD EOL               { compiler.Command(Node::kEnd, 0, {$2}); }
    | END1 WORD EOL               { compiler.Command(Node::kEnd1, 0, {$2}); }
    | END2 WORD EOL               { compiler.Command(Node::kEnd2, 0, {$2}); }
    | END0 EOL                    { compiler.Command(Node::kEnd, 0, {}); }
    | END1 EOL                    { compiler.Command(Node::kEnd1, 0, {}); }
    | END2 EOL                    { compiler.Command(Node::kEnd2, 0, {}); }
    | SED EOL                     { compiler.Command(Node::kSed, 0, {}); }
    | LAB WORD EOL                { compiler.Command(Node::kLab, 0, {$2}); }
    ;

%%

namespace {
// The lexer returns its own token numbers; they must be the grammar's.
constexpr bool TokenNumbersAgree() {
    constexpr int pairs[][2] = {
        {TK_WORD, TextScript::kTokenWord},
        {TK_TEXT, TextScript::kTokenText},
        {TK_EOL, TextScript::kTokenEol},
        {TK_UNUSED, TextScript::kTokenUnused},
        {TK_SEL, TextScript::kTokenSel},
        {TK_RMS, TextScript::kTokenRms},
        {TK_CLM, TextScript::kTokenClm},
        {TK_GRP, TextScript::kTokenGrp},
        {TK_CHR, TextScript::kTokenChr},
        {TK_CHL, TextScript::kTokenChl},
        {TK_LGR, TextScript::kTokenLgr},
        {TK_WAV, TextScript::kTokenWav},
        {TK_VOI, TextScript::kTokenVoi},
        {TK_JMP, TextScript::kTokenJmp},
        {TK_RJP, TextScript::kTokenRjp},
        {TK_PJP, TextScript::kTokenPjp},
        {TK_PST, TextScript::kTokenPst},
        {TK_RSP, TextScript::kTokenRsp},
        {TK_RST, TextScript::kTokenRst},
        {TK_RSX, TextScript::kTokenRsx},
        {TK_SFS, TextScript::kTokenSfs},
        {TK_DON, TextScript::kTokenDon},
        {TK_DOF, TextScript::kTokenDof},
        {TK_TOF, TextScript::kTokenTof},
        {TK_IVG, TextScript::kTokenIvg},
        {TK_SSL, TextScript::kTokenSsl},
        {TK_END0, TextScript::kTokenEnd0},
        {TK_END1, TextScript::kTokenEnd1},
        {TK_END2, TextScript::kTokenEnd2},
        {TK_SED, TextScript::kTokenSed},
        {TK_DGR, TextScript::kTokenDgr},
        {TK_LAB, TextScript::kTokenLab},
        {TK_SHARPLINE, TextScript::kTokenSharpLine},
        {TK_SLASHLINE, TextScript::kTokenSlashLine},
        {TK_AT, TextScript::kTokenAt},
        {TK_FLS, TextScript::kTokenFls},
        {TK_S1A, TextScript::kTokenS1a},
        {TK_S1B, TextScript::kTokenS1b},
        {TK_S1M, TextScript::kTokenS1m},
        {TK_S2A, TextScript::kTokenS2a},
        {TK_S2B, TextScript::kTokenS2b},
        {TK_S2M, TextScript::kTokenS2m}};
    for (const auto& pair : pairs)
        if (pair[0] != pair[1]) return false;
    return true;
}
static_assert(TokenNumbersAgree());
}  // namespace

void TextScript::Compiler::Parse() { script_parse(*this); }
