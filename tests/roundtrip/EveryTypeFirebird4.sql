-- The data types that Firebird 4 adds, for the database made on a Firebird 4
-- server (after EveryType.sql).

create table TIPOS_FB4 (
  ID integer generated always as identity primary key,
  ENORME int128,
  DECIMAL_LONGO decimal(38,4),
  FLUTUANTE16 decfloat(16),
  FLUTUANTE34 decfloat(34),
  HORA_FUSO time with time zone,
  MOMENTO_FUSO timestamp with time zone,
  BINARIO binary(8),
  BINARIO_VARIAVEL varbinary(20),
  DESCRICAO varchar(40) character set WIN1252
);
insert into TIPOS_FB4 (ENORME, DECIMAL_LONGO, FLUTUANTE16, FLUTUANTE34, HORA_FUSO, MOMENTO_FUSO, BINARIO,
                       BINARIO_VARIAVEL, DESCRICAO)
values (170141183460469231731687303715884105727, 9999999999999999999999999999999999.9999,
        9.999999999999999e384, -9.999999999999999999999999999999999e6144, '23:59:59.9999 America/Sao_Paulo',
        '9999-12-31 23:59:59.9999 +03:00', x'0001020304050607', x'FFFE', 'Máximo');
insert into TIPOS_FB4 (ENORME, DECIMAL_LONGO, FLUTUANTE16, FLUTUANTE34, HORA_FUSO, MOMENTO_FUSO, BINARIO,
                       BINARIO_VARIAVEL, DESCRICAO)
values (-170141183460469231731687303715884105728, -9999999999999999999999999999999999.9999,
        1e-383, 1e-6143, '00:00:00.0000 -03:00', '0001-01-01 00:00:00.0000 America/Sao_Paulo', x'FFFFFFFFFFFFFFFF',
        x'', 'Mínimo');
comment on table TIPOS_FB4 is 'Tipos do Firebird 4: número de 128 bits, fuso horário, binário';
create role "Auditoria Fiscal";
grant select on TIPOS_FB4 to role "Auditoria Fiscal";
commit;
