#/ SYNTAX TEST "source.qbs" "script text as the decompiler writes it, and by hand"
#/ QB Script version 2
#/ <---------------------- comment.line.qbs
%include "x.qb_table.qbi"   #/ Table file
#/ <-------- keyword.control.import.include.qbs
#/       ^^^^^^^^^^^^^^^^ string.quoted.double.include.qbs
#/                       ^^^ punctuation.whitespace.qbs
#/                          ^^^^^^^^^^^^^ comment.line.qbs
#addx 0x0badf00d "Birdhouse Team"
#/ <----- keyword.other.addx.qbs
#/    ^^^^^^^^^^ constant.numeric.integer.hexadecimal.checksum.qbs
#/                ^^^^^^^^^^^^^^ variable.other.name.declaration.qbs
#addx "T-shirt" #/ a name with the game's checksum
#/    ^ punctuation.definition.name.begin.qbs
#/     ^^^^^^^ variable.other.name.declaration.qbs
#/              ^^^^^^^^^ comment.line.qbs

#/ Names hold blanks, punctuation and words of the language; they touch and may be empty.
:i function $Shorty's Deck$
#/ <-- punctuation.separator.line.qbs
#/ ^^^^^^^^ storage.type.function.qbs
#/           ^^^^^^^^^^^^^ entity.name.function.qbs
	:i $if$ = $68 Skate$$$$[01020304]$
#/  ^^^^ variable.other.name.qbs
#/   ^^ variable.other.name.qbs - keyword
#/       ^ keyword.operator.assignment.qbs
#/         ^^^^^^^^^^ variable.other.name.qbs
#/                   ^ variable.other.name.qbs punctuation.definition.name.begin.qbs
#/                    ^ variable.other.name.qbs punctuation.definition.name.end.qbs
#/                     ^ variable.other.name.qbs punctuation.definition.name.begin.qbs
#/                       ^^^^^^^^ variable.other.name.qbs constant.numeric.integer.hexadecimal.checksum.qbs
	:i call $models\skate.tex$ arguments $a #/ b$$endif$ = %GLOBAL%$x$
#/  ^^^^ keyword.other.call.qbs
#/        ^^^^^^^^^^^^^^^^ variable.function.qbs
#/                          ^^^^^^^^^ keyword.other.call.qbs
#/                                     ^^^^^^ variable.other.name.qbs - comment
#/                                             ^^^^^ variable.other.name.qbs - keyword
#/                                                      ^^^^^^^^ storage.modifier.global.qbs

#/ Strings have no escapes, end at the next double quote and may span lines.
	:i $a$ = %s(9,"$b$ #/ :i\")%sc(12,"two
#/        ^^ storage.type.string.qbs
#/           ^ constant.numeric.integer.decimal.length.qbs
#/             ^^^^^^^^^^^^ string.quoted.double.qbs - variable.other.name.qbs comment.line.qbs
#/                         ^ punctuation.section.parens.end.qbs - string
#/                                  ^^^ string.quoted.double.qbs
lines if")->$b$.$c$;:s{$d$ = :a{%i(1,00000001):a}:s}
#/ <--------- string.quoted.double.qbs - keyword
#/       ^ punctuation.section.parens.end.qbs
#/        ^^ keyword.operator.arrow.qbs
#/             ^ punctuation.accessor.dot.qbs
#/                 ^ punctuation.separator.semicolon.qbs
#/                  ^^^ punctuation.section.struct.begin.qbs
#/                           ^^^ punctuation.section.array.begin.qbs
#/                                            ^^^ punctuation.section.array.end.qbs
#/                                               ^^^ punctuation.section.struct.end.qbs

#/ The numbers of the values.
	:i $a$ = %i(4294967295,ffffffff) * %f(-0.500000) / %vec2(1.000000,2.5) + %vec3(.5,-1.,0.1234567)
#/        ^^ storage.type.integer.qbs
#/           ^^^^^^^^^^ constant.numeric.integer.decimal.qbs
#/                     ^ punctuation.separator.comma.qbs
#/                      ^^^^^^^^ constant.numeric.integer.hexadecimal.qbs
#/                                ^ keyword.operator.arithmetic.qbs
#/                                     ^^^^^^^^^ constant.numeric.float.qbs
#/                                                  ^^^^^ storage.type.float.qbs
#/                                                        ^^^^^^^^ constant.numeric.float.qbs
#/                                                                 ^^^ constant.numeric.float.qbs
#/                                                                  ^^ constant.numeric.float.qbs
#/                                                                                 ^^^ constant.numeric.float.qbs
#/                                                                                     ^^^^^^^^^ constant.numeric.float.qbs
	:i $a$ = RandomRange %vec2(1.000000,10.000000) %i(-0x10,ff) %i(,ff) %f(1e5)
#/        ^^^^^^^^^^^ support.function.random-range.qbs
#/                                                 ^^^^^ constant.numeric.integer.hexadecimal.qbs
#/                                                       ^^ constant.numeric.integer.hexadecimal.qbs
#/                                                               ^^ constant.numeric.integer.hexadecimal.qbs
#/                                                                       ^^ invalid.illegal.character.qbs

#/ Conditions, loops, jumps and the colon commands.
	:i if NOT  ($a$ < %i(3,00000003))  OR $b$ > %i(4,00000004) AND  isNull $c$
#/  ^^ keyword.control.conditional.qbs
#/     ^^^ keyword.operator.logical.qbs
#/          ^ punctuation.section.parens.begin.qbs
#/               ^ keyword.operator.comparison.qbs
#/                                  ^^ keyword.operator.logical.qbs
#/                                                          ^^^ keyword.operator.logical.qbs
#/                                                               ^^^^^^ keyword.operator.logical.qbs
		:i doIf $d$
#/   ^^^^ keyword.control.conditional.qbs
		:i doElse
#/   ^^^^^^ keyword.control.conditional.qbs
	:i endifelse endif
#/  ^^^^^ keyword.control.conditional.qbs
#/       ^^^^ keyword.control.conditional.qbs
#/            ^^^^^ keyword.control.conditional.qbs
:u(02:0a0b0c0d)while
#/ <-- punctuation.separator.line.qbs
#/ ^^ constant.numeric.integer.hexadecimal.qbs
#/    ^^^^^^^^ constant.numeric.integer.hexadecimal.qbs
#/             ^^^^^ keyword.control.loop.qbs
:BREAKTO(12)
#/ <-------- keyword.control.jump.qbs
#/       ^^ constant.numeric.integer.decimal.index.qbs
	:i continue
#/  ^^^^^^^^ keyword.control.loop.qbs
	 :POS(12) 
#/^^^^ entity.name.label.qbs
#/     ^^ constant.numeric.integer.decimal.index.qbs
:i loop_to 
#/ ^^^^^^^ keyword.control.loop.qbs
:i switch $a$
#/ ^^^^^^ keyword.control.switch.qbs
	:i case %i(1,00000001)
#/  ^^^^ keyword.control.switch.qbs
		:i endcase
#/   ^^^^^^^ keyword.control.switch.qbs
	default 
#/ <~------- keyword.control.switch.qbs
		:i end_switch
#/   ^^^^^^^^^^ keyword.control.switch.qbs
:i select(2f,2, a0 ff 03 00) :OFFSET(3):OFFSET(4)
#/ ^^^^^^ keyword.control.select.qbs
#/        ^^ constant.numeric.integer.qbs
#/              ^^ constant.numeric.integer.qbs
#/                           ^^^^^^^ keyword.control.jump.qbs
#/                                             ^ constant.numeric.integer.decimal.index.qbs
	:i select(41,0,) 
#/  ^^^^^^ keyword.control.select.qbs
#/            ^ constant.numeric.integer.qbs
	:i return
#/  ^^^^^^ keyword.control.return.qbs
:i endfunction
#/ ^^^^^^^^^^^ storage.type.function.qbs
:i :end
#/ ^^^^ keyword.control.end.qbs

#/ What the compiler refuses: the -debug forms, the Unknown token, words and stray characters.
:i if[1] endif[-1] return[0] else[2]  Unknown 
#/ ^^^^^ invalid.illegal.debug.qbs
#/       ^^^^^^^^^ invalid.illegal.debug.qbs
#/                 ^^^^^^^^^ invalid.illegal.debug.qbs
#/                           ^^^^^^^ invalid.illegal.debug.qbs
#/                                    ^^^^^^^ invalid.illegal.unknown-token.qbs
	:i Unknown instruction at 0000002a:1d
#/  ^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^ invalid.illegal.unknown-instruction.qbs
:i foo 12 %x(1) :q # "
#/ ^^^ invalid.illegal.word.qbs
#/     ^^ invalid.illegal.character.qbs
#/        ^^ invalid.illegal.percent-command.qbs
#/              ^^ invalid.illegal.colon-command.qbs
#/                 ^ invalid.illegal.character.qbs
#/                   ^ invalid.illegal.character.qbs
